// The temporary copy's folder and the engine's operations on it (see
// steps/temp_copy.h).
#include <windows.h>

#include <cstdlib>
#include <ctime>
#include <vector>

#include "config/setup_command_line.h"
#include "ini/ini_byte_file.h"
#include "steps/setup_engine.h"
#include "steps/temp_copy.h"
#include "sys/deferred_deletion.h"
#include "sys/file_sha256.h"
#include "sys/folder_tree.h"
#include "sys/internal_error.h"
#include "sys/process_identity.h"
#include "sys/resume_shortcut.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"
#include "text/ascii_text.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

enum TempCopyMarker { kNoCopyYet = 0, kRunningFromCopy = 1, kNoCopy = 2 };

// Same size and the same bytes: the medium still holds the package that was
// copied (and so its product and package codes).
bool IsSamePackage(const std::string& copied, const std::string& original) {
  WIN32_FIND_DATAA a;
  WIN32_FIND_DATAA b;
  {
    ScopedFind first(FindFirstFileByName(copied, a));
    ScopedFind second(FindFirstFileByName(original, b));
    if (!first || !second) return false;
  }
  if (a.nFileSizeLow != b.nFileSizeLow || a.nFileSizeHigh != b.nFileSizeHigh) return false;
  std::string digestA;
  std::string digestB;
  return ComputeFileSha256(copied, digestA) && ComputeFileSha256(original, digestB) && digestA == digestB;
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

bool CreateTempCopyFolder(std::string& path) {
  path.clear();
  std::string temp = TempFolderPath();
  if (temp.empty()) return false;
  if (!CreateFolderByName(temp) && GetLastError() != ERROR_ALREADY_EXISTS) return false;
  AppendBackslash(temp);

  std::srand(static_cast<unsigned>(std::time(nullptr)));
  for (int remaining = 100; --remaining > 0;) {
    const std::string candidate = temp + TempCopyFolderName(static_cast<unsigned>(std::rand() % 0xFFFF));
    if (candidate.size() + 1 >= MAX_PATH) return false;
    if (CreateFolderByName(candidate)) {
      path = candidate + "\\";
      return true;
    }
  }
  return false;
}

bool IsOwnTempCopy(const std::string& folder) {
  const std::string temp = TempFolderPath();
  if (temp.empty()) return false;
  if (IsTempCopyFolder(folder, temp)) return true;
  const std::string shortFolder = ShortPathOf(folder);
  const std::string shortTemp = ShortPathOf(temp);
  return !shortFolder.empty() && !shortTemp.empty() && IsTempCopyFolder(shortFolder, shortTemp);
}

void RemoveTempCopy(const std::string& copy) {
  DeleteFolderContents(copy);
  std::string folder = copy;
  if (EndsWithBackslash(folder)) folder.pop_back();
  if (!RemoveFolderByName(folder)) {
    SetupLogF("Failed to remove directory: \"%s\", Error code = 0x%08X", folder.c_str(),
              static_cast<unsigned>(GetLastError()));
    LogForDeletion(folder);
  }
}

void SetupEngine::CopySetupToTempFolder() {
  SetupCommandLine& line = RequireCommandLine(kLocationTempCopy);
  if (line.GetTempCopyMarker() == kRunningFromCopy) TakeOverCopy();
  if (line.GetTempCopyMarker() != kNoCopyYet) return;
  RemoveFinishedCopies();
  std::string copy;
  if (!CreateTempCopyFolder(copy)) {
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
    const ProcessIdentity self = CurrentProcessIdentity();
    runRecord.medium = original;
    runRecord.dataFile = line.GetDataFileName();
    runRecord.processId = self.id;
    runRecord.processStart = self.started;
    runRecordInCopy = true;
    SaveRunRecord();
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
  RemoveTempCopy(setupFolder);
  runRecordInCopy = false;
}

void SetupEngine::SaveRunRecord() {
  if (!runRecordInCopy) return;
  const std::string path = setupFolder + kRunRecordName;
  if (!WriteRunRecord(PlatformFileOpener(), path, runRecord)) SetupLogF("Failed to write \"%s\"", path.c_str());
}

void SetupEngine::ClaimTempCopy() {
  if (commandLine == nullptr || commandLine->GetTempCopyMarker() != kRunningFromCopy) return;
  if (!ReadRunRecord(PlatformFileOpener(), setupFolder + kRunRecordName, runRecord)) return;
  const ProcessIdentity self = CurrentProcessIdentity();
  runRecord.processId = self.id;
  runRecord.processStart = self.started;
  runRecordInCopy = true;
  SaveRunRecord();
}

void SetupEngine::TakeOverCopy() {
  ClaimTempCopy();
  if (!runRecordInCopy) return;

  // Windows Installer keeps the folder of the package it installs as the
  // product's source for later repairs: the medium, not this copy, which
  // is deleted at the end.
  const std::string dataFolder = FolderOf(commandLine->GetDataFileName());
  const std::string& package = commandLine->GetSetupDataFile().GetPackageName();
  const std::string mediumFolder = runRecord.medium + dataFolder;
  if (IsSamePackage(packageFolder + package, mediumFolder + package)) {
    SetupLogF("The medium \"%s\" holds the package: it is installed from there", runRecord.medium.c_str());
    packageFolder = mediumFolder;
  } else {
    SetupLogF("The medium \"%s\" no longer holds the package: it is installed from the temporary copy, and "
              "later repairs will ask for the medium",
              runRecord.medium.c_str());
  }
}

void SetupEngine::RemoveFinishedCopies() {
  std::string temp = TempFolderPath();
  if (temp.empty()) return;
  AppendBackslash(temp);
  std::string shortcutTarget;
  // Without knowing what the resume shortcut starts, no copy is known to be over.
  if (!ReadResumeShortcutTarget(ownerWindow, shortcutTarget)) return;
  const std::string& dataFile = commandLine->GetDataFileName();

  std::vector<std::string> over;
  WIN32_FIND_DATAA found;
  ScopedFind search(FindFirstFileByName(TempCopySearchPattern(temp), found));
  if (search) {
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
          (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        continue;
      const std::string folder = temp + found.cFileName + "\\";
      if (!IsTempCopyFolder(folder, temp)) continue;
      RunRecord record;
      // A folder without a record is not known to be a copy whose run is over.
      if (!ReadRunRecord(PlatformFileOpener(), folder + kRunRecordName, record)) continue;
      if (IsProcessRunning({record.processId, record.processStart})) continue;
      if (!shortcutTarget.empty() && EqualsNoCase(shortcutTarget.substr(0, folder.size()), folder)) continue;
      // What an interrupted run of this medium began stays known: this run
      // takes it over; another medium's stays in its copy until a run of
      // that medium does.
      if (record.IsOf(setupFolder, dataFile)) {
        for (const std::string& base : record.removedBases) runRecord.AddRemovedBase(base);
      } else if (!record.removedBases.empty()) {
        continue;
      }
      over.push_back(folder);
    } while (FindNextFileByName(search, found));
  }
  for (const std::string& folder : over) {
    SetupLogF("Removing \"%s\": the run that made this temporary copy is over", folder.c_str());
    RemoveTempCopy(folder);
  }
}

}  // namespace kq
