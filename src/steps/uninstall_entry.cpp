#include "steps/uninstall_entry.h"

namespace kq {

std::string UninstallKeyPath(const std::string& entryName) {
  return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + entryName;
}

bool OpenUninstallEntry(const std::string& entryName, CRegistryKey& key) {
  key.Close();
  if (entryName.empty()) return false;
  const std::string path = UninstallKeyPath(entryName);
  const HKEY roots[] = {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER};
  for (HKEY root : roots) {
    if (key.Open(root, path.c_str(), KEY_READ) == ERROR_SUCCESS) return true;
  }
  if (!HasWow64RegistryView()) return false;
  for (HKEY root : roots) {
    if (key.Open(root, path.c_str(), KEY_READ | KEY_WOW64_64KEY) == ERROR_SUCCESS) return true;
  }
  return false;
}

}  // namespace kq
