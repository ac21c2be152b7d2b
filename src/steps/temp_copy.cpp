// The engine's temporary copy of the setup: made before anything is removed
// or installed, so that a medium that goes away (a CD ejected, a share lost
// over a reboot) does not break the run, and removed at the end.
#include <windows.h>

#include "sys/internal_error.h"
#include "config/setup_command_line.h"
#include "steps/setup_engine.h"
#include "text/mbcs_path.h"
#include "sys/setup_log.h"
#include "sys/temp_copy_folder.h"
#include "sys/temp_folder.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

enum TempCopyMarker { kNoCopyYet = 0, kRunningFromCopy = 1, kNoCopy = 2 };

// A folder CreateTempFolder made: KIESxxxx directly inside the user's
// temporary-files folder, in the long or the short spelling of either.
bool IsOwnTempCopy(const std::string& folder) {
  const std::string temp = TempFolderPath();
  if (temp.empty()) return false;
  if (IsTempCopyFolder(folder, temp)) return true;
  const std::string shortFolder = ShortPathOf(folder);
  const std::string shortTemp = ShortPathOf(temp);
  return !shortFolder.empty() && !shortTemp.empty() && IsTempCopyFolder(shortFolder, shortTemp);
}

}  // namespace

void SetupEngine::CopySetupToTempFolder() {
  SetupCommandLine& line = RequireCommandLine(kLocationTempCopy);
  if (line.GetTempCopyMarker() != kNoCopyYet) return;
  std::string copy;
  if (!CreateTempFolder(copy)) {
    SetupLog("Failed to create a temporary folder; running from the original location");
    return;
  }
  SetupLogF("Copying \"%s\" to \"%s\"", setupFolder.c_str(), copy.c_str());
  const std::string original = setupFolder;
  setupFolder = copy;
  line.SetTempCopyMarker(kRunningFromCopy);
  if (CopyFolderTree(original, copy)) {
    line.SetSetupFolder(copy.c_str());
    return;
  }
  SetupLogF("Failed to copy the setup; running from \"%s\"", original.c_str());
  RemoveTempFolder();
  line.SetTempCopyMarker(kNoCopy);
  setupFolder = original;
}

void SetupEngine::RemoveTempFolder() {
  if (commandLine == nullptr || commandLine->GetTempCopyMarker() != kRunningFromCopy) return;
  if (setupFolder.empty()) return;
  if (!IsOwnTempCopy(setupFolder)) {
    SetupLogF("Not removing \"%s\": it is not a temporary copy made by setup", setupFolder.c_str());
    return;
  }
  DeleteFolderContents(setupFolder);
  std::string folder = setupFolder;
  if (EndsWithBackslash(folder)) folder.pop_back();
  if (!RemoveFolderByName(folder)) {
    SetupLogF("Failed to remove directory: \"%s\", Error code = 0x%08X", folder.c_str(),
              static_cast<unsigned>(GetLastError()));
    LogForDeletion(folder);
  }
}

}  // namespace kq
