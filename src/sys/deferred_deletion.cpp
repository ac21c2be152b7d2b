// LogForDeletion: deletion at the next restart of Windows, through the
// delayed-move request of the NT family or, where that is missing or fails,
// through the [Rename] section of WININIT.INI that the 9x family processes
// at start-up.
#include "sys/deferred_deletion.h"

#include "ini/ini_file.h"
#include "text/mbcs_path.h"
#include "sys/scoped_handle.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

bool g_moveFileExReplaced = false;
MoveFileExFunction g_moveFileExReplacement = nullptr;

// MoveFileEx(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT), or the test's
// replacement. `available` is false when there is no such entry point.
bool DeleteAtRestart(const std::string& path, bool& available) {
  if (!g_moveFileExReplaced) return DeleteAtRestartByName(path, available);
  available = g_moveFileExReplacement != nullptr;
  return available && g_moveFileExReplacement(path.c_str(), nullptr, MOVEFILE_DELAY_UNTIL_REBOOT);
}

void AddWininitRename(const std::string& wininit, const std::string& path) {
  CIniFile document;
  document.Load(wininit);
  IniSection* rename = nullptr;
  if (!document.FindSection("Rename", &rename)) {
    document.AddSection("Rename");
    if (!document.FindSection("Rename", &rename) || rename == nullptr) {
      SetupLog("Error with [Rename] section in WININIT.INI");
      return;
    }
  }
  const std::string shortPath = ShortPathOf(path);
  if (shortPath.empty()) return;
  // A second NUL line for another file is what WININIT.INI expects.
  rename->AddKeyValue("NUL", shortPath);
  document.Save();
}

}  // namespace

void ReplaceMoveFileExForTesting(MoveFileExFunction function) {
  g_moveFileExReplaced = true;
  g_moveFileExReplacement = function;
}

void RestoreMoveFileEx() {
  g_moveFileExReplaced = false;
  g_moveFileExReplacement = nullptr;
}

void LogForDeletion(const std::string& path) {
  const std::string systemFolder = SystemFolderPath();
  if (systemFolder.empty()) {
    SetupLog("GetSystemDirectory() failed in LogForDeletion()");
    return;
  }
  bool available = false;
  const bool scheduled = DeleteAtRestart(path, available);
  if (available) {
    if (scheduled) {
      SetupLogF("Scheduled \"%s\" for deletion using MoveFileEx()", path.c_str());
      return;
    }
    SetupLogF("MoveFileEx() failed with return code: 0x%08X in LogForDeletion()",
              static_cast<unsigned>(GetLastError()));
  }

  const std::string windowsFolder = WindowsFolderPath();
  if (windowsFolder.empty()) {
    SetupLog("GetWindowsDirectory() failed in LogForDeletion()");
    return;
  }
  const std::string wininit = JoinPath(windowsFolder, "WININIT.INI");
  {
    // The INI library reads only files that exist.
    ScopedFile created = OpenFileByName(wininit, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, OPEN_ALWAYS,
                                        FILE_ATTRIBUTE_NORMAL);
  }
  try {
    AddWininitRename(wininit, path);
  } catch (const CKqIniFileException& error) {
    SetupLogF("Failed to schedule \"%s\" in WININIT.INI: %s (error %u)", path.c_str(), error.what(),
              static_cast<unsigned>(error.Code()));
  }
}

}  // namespace kq
