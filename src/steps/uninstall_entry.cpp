#include "steps/uninstall_entry.h"

namespace kq {

std::string UninstallKeyPath(const std::string& entryName) {
  return "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + entryName;
}

bool OpenUninstallEntry(const std::string& entryName, CRegistryKey& key) {
  key.Close();
  if (entryName.empty()) return false;
  const std::string path = UninstallKeyPath(entryName);
  for (REGSAM access : ReadAccessByView()) {
    for (HKEY root : {HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER}) {
      if (key.Open(root, path.c_str(), access) == ERROR_SUCCESS) return true;
    }
  }
  return false;
}

}  // namespace kq
