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

constexpr uint32_t kLocationTempCopy = 18;

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

constexpr unsigned long long kMegabyte = 1024 * 1024;

// Whether the drive of the temporary-files folder keeps at least the copy's
// own size free after the copy: the installation usually writes to the same
// drive and needs room too. When the free space cannot be learned the copy
// is made, as before this check existed.
bool CopyLeavesRoomOnDrive(const std::string& source, const std::string& copy) {
  unsigned long long freeBytes = 0;
  if (!DiskFreeSpaceByName(copy, freeBytes)) {
    SetupLogF("Cannot tell the free space on the drive of \"%s\", Error code = 0x%08X", copy.c_str(),
              static_cast<unsigned>(GetLastError()));
    return true;
  }
  unsigned long long needed = 0;
  if (FolderTreeFitsWithin(source, freeBytes / 2, needed)) return true;
  // Megabytes fit an unsigned up to 4 PB, and the C library of old Windows
  // knows no %llu.
  SetupLogF("Not copying the setup: %u MB free on the drive of %s, the copy needs %u MB; "
            "running from the original location",
            static_cast<unsigned>(freeBytes / kMegabyte), TempFolderPath().c_str(),
            static_cast<unsigned>((needed + kMegabyte - 1) / kMegabyte));
  return false;
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
  if (!CopyLeavesRoomOnDrive(setupFolder, copy)) {
    RemoveFolderByName(copy.substr(0, copy.size() - 1));
    line.SetTempCopyMarker(kNoCopy);
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
