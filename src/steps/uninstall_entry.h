#pragma once
// A product's entry under the Windows "Uninstall" key, the one place where
// installed software is found by name (for a Windows Installer product, its
// product code in braces).
#include <string>

#include "sys/registry_key.h"

namespace kq {

// "SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\%s" with the name.
std::string UninstallKeyPath(const std::string& entryName);

// Opens the entry for reading: HKEY_LOCAL_MACHINE, then HKEY_CURRENT_USER,
// in the program's own view; on 64-bit Windows, where a 32-bit program sees
// only the 32-bit half of HKEY_LOCAL_MACHINE\SOFTWARE, then the same two in
// the 64-bit view. False when the name is empty or no entry opens.
bool OpenUninstallEntry(const std::string& entryName, CRegistryKey& key);

}  // namespace kq
