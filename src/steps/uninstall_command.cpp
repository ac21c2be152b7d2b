#include "steps/uninstall_command.h"

#include "steps/uninstall_entry.h"
#include "sys/wide_ansi.h"

namespace kq {

int GetUninstallCommand(const char* entry, std::string& displayName, std::string& command) {
  displayName.clear();
  command.clear();
  if (entry == nullptr) return 0;
  CRegistryKey key;
  if (!OpenUninstallEntry(entry, key)) return 0;
  std::string name;
  if (key.QueryValue("DisplayName", name) != ERROR_SUCCESS) return 0;
  displayName = name;

  uint32_t windowsInstaller = 0;
  if (key.QueryValue("WindowsInstaller", windowsInstaller) != ERROR_SUCCESS) windowsInstaller = 0;
  if (windowsInstaller != 0) {
    uint32_t noRemove = 0;
    if (key.QueryValue("NoRemove", noRemove) == ERROR_SUCCESS && noRemove != 0) return 1;
    command = SystemFolderPath() + "MSIEXEC /x " + entry;
    return 1;
  }
  if (key.QueryExpandedValue("UninstallString", command) != ERROR_SUCCESS) {
    command.clear();
    return 0;
  }
  return 1;
}

}  // namespace kq
