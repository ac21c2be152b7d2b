#include "steps/uninstall_command.h"

#include "steps/uninstall_entry.h"
#include "sys/wide_ansi.h"
#include "text/mbcs_path.h"
#include "text/program_names.h"

namespace kq {

bool GetUninstallCommand(const char* entry, std::string& displayName, std::string& command) {
  displayName.clear();
  command.clear();
  if (entry == nullptr) return false;
  CRegistryKey key;
  if (!OpenUninstallEntry(entry, key)) return false;
  std::string name;
  if (key.QueryValue("DisplayName", name) != ERROR_SUCCESS) return false;
  displayName = name;

  uint32_t windowsInstaller = 0;
  if (key.QueryValue("WindowsInstaller", windowsInstaller) != ERROR_SUCCESS) windowsInstaller = 0;
  if (windowsInstaller != 0) {
    uint32_t noRemove = 0;
    if (key.QueryValue("NoRemove", noRemove) == ERROR_SUCCESS && noRemove != 0) return true;
    command = JoinPath(SystemFolderPath(), kInstallerName) + " /x " + entry;
    return true;
  }
  if (key.QueryExpandedValue("UninstallString", command) != ERROR_SUCCESS) {
    command.clear();
    return false;
  }
  return true;
}

}  // namespace kq
