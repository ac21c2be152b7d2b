#pragma once
// GetUninstallCommand: whether a product is installed, by its Uninstall
// entry, and the command that removes it.
#include <string>

namespace kq {

// Both texts are emptied first. True when the entry exists with a DisplayName
// (returned as `displayName`); `command` is then the removal command:
// "<system folder>MSIEXEC /x <entry>" for a Windows Installer product
// (WindowsInstaller nonzero), empty when such a product has NoRemove set,
// otherwise the UninstallString (environment variables expanded when it is
// stored as REG_EXPAND_SZ). False when the entry is null or empty, not found,
// has no DisplayName, or is not a Windows Installer product and has no
// UninstallString.
bool GetUninstallCommand(const char* entry, std::string& displayName, std::string& command);

}  // namespace kq
