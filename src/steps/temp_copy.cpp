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
#include "sys/file_owner.h"
#include "sys/folder_tree.h"
#include "sys/internal_error.h"
#include "sys/process_identity.h"
#include "sys/resume_shortcut.h"
#include "sys/format.h"
#include "sys/scoped_handle.h"
#include "sys/setup_log.h"
#include "sys/whole_file.h"
#include "sys/wide_ansi.h"
#include "text/ascii_text.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

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
    const std::string candidate = JoinPath(temp, TempCopyFolderName(static_cast<unsigned>(std::rand() % 0xFFFF)));
    if (candidate.size() + 1 >= MAX_PATH) return false;
    if (CreateFolderByName(candidate)) {
      path = candidate + "\\";
      return true;
    }
  }
  return false;
}

bool IsTrustedTempCopy(const std::string& folder) { return IsOwnTempCopy(folder) && IsOwnedByThisUser(folder); }

bool IsOwnTempCopy(const std::string& folder) {
  const std::string temp = TempFolderPath();
  if (temp.empty()) return false;
  if (IsTempCopyFolder(folder, temp)) return true;
  const std::string shortFolder = ShortPathOf(folder);
  const std::string shortTemp = ShortPathOf(temp);
  return !shortFolder.empty() && !shortTemp.empty() && IsTempCopyFolder(shortFolder, shortTemp);
}

void RemoveTempCopy(const std::string& copy) {
  // The record goes after every other file and before the folder: a copy
  // cut off while it is deleted still says whose it is, or holds nothing,
  // and a later run finishes the deletion either way.
  const std::vector<std::string> record = {kRunRecordName, kNewRunRecordName};
  DeleteFolderContents(copy, record);
  std::string folder = copy;
  if (EndsWithBackslash(folder)) folder.pop_back();
  // A file in use (the program of a run resumed from the copy) waits for the
  // restart, and the record with it: until then a later run removes the copy
  // once that run has ended; at the restart everything goes.
  if (!FolderHoldsOnly(copy, record)) {
    SetupLogF("Keeping the record of \"%s\": some of its files are in use until the restart", copy.c_str());
    for (const std::string& name : record) {
      if (FileAttributesByName(copy + name) != INVALID_FILE_ATTRIBUTES) LogForDeletion(copy + name);
    }
    LogForDeletion(folder);
    return;
  }
  RemoveRunRecord(PlatformRecordFiles(), copy);
  if (!RemoveFolderByName(folder)) {
    SetupLogF("Failed to remove directory: \"%s\", Error code = 0x%08X", folder.c_str(),
              static_cast<unsigned>(GetLastError()));
    DeleteFolderContents(copy);
    LogForDeletion(folder);
  }
}

namespace {

// The name of the mutex that a SETUP.EXE running from a copy holds, from
// the folder's short form, which is the same whichever spelling a program
// was started with.
std::string InUseMutexName(const std::string& folder) {
  std::string key = ShortPathOf(folder);
  if (key.empty()) key = folder;
  if (EndsWithBackslash(key)) key.pop_back();
  key = UpperCaseAscii(key);
  uint32_t hash = 2166136261u;  // FNV-1a: names are at most MAX_PATH characters
  for (unsigned char c : key) hash = (hash ^ c) * 16777619u;
  return Format("SETUP COPY %s %08X", NameOf(key).c_str(), static_cast<unsigned>(hash));
}

class Win32RecordFiles : public RecordFiles {
 public:
  WholeFileRead Read(const std::string& path, size_t limit, std::string& bytes) override {
    return ReadWholeFile(path, limit, bytes);
  }
  bool WriteThrough(const std::string& path, const std::string& bytes) override {
    return WriteWholeFileThrough(path, bytes);
  }
  bool Replace(const std::string& from, const std::string& to) override { return ReplaceFileByName(from, to); }
  bool Remove(const std::string& path) override {
    if (DeleteFileByName(path)) return true;
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
  }
};

// Whether `target` (a program's path) lies in `folder`, comparing the
// spelling each has and the short forms of both.
bool IsInFolder(const std::string& target, const std::string& folder) {
  if (target.size() > folder.size() && EqualsNoCase(target.substr(0, folder.size()), folder)) return true;
  const std::string shortFolder = ShortPathOf(folder);
  std::string targetFolder = FolderOf(target);
  AppendBackslash(targetFolder);
  const std::string shortTarget = ShortPathOf(targetFolder);
  if (shortFolder.empty()) return false;
  if (target.size() > shortFolder.size() && EqualsNoCase(target.substr(0, shortFolder.size()), shortFolder))
    return true;
  return !shortTarget.empty() && EqualsNoCase(shortTarget, shortFolder);
}

class SystemCopyMachine : public TempCopyMachine {
 public:
  explicit SystemCopyMachine(HWND owner) : owner_(owner) {}

  std::vector<std::string> CopyFolders() override {
    std::vector<std::string> folders;
    std::string temp = TempFolderPath();
    if (temp.empty()) return folders;
    AppendBackslash(temp);
    WIN32_FIND_DATAA found;
    ScopedFind search(FindFirstFileByName(TempCopySearchPattern(temp), found));
    if (!search) return folders;
    do {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0 ||
          (found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) != 0)
        continue;
      const std::string folder = JoinPath(temp, found.cFileName) + "\\";
      if (IsTempCopyFolder(folder, temp)) folders.push_back(folder);
    } while (FindNextFileByName(search, found));
    return folders;
  }
  RecordFiles& Files() override { return PlatformRecordFiles(); }
  bool OwnedByThisUser(const std::string& folder) override { return IsOwnedByThisUser(folder); }
  bool IsRunning(uint32_t processId, uint64_t processStart) override {
    return IsProcessRunning({processId, processStart});
  }
  bool InUse(const std::string& folder) override { return IsTempCopyInUse(folder); }
  bool HoldsNothing(const std::string& folder) override { return FolderHoldsOnly(folder, {}); }
  bool StartedByResume(const std::string& folder) override {
    std::vector<std::string> targets;
    // Without knowing what the resume shortcuts start, no copy is known to be over.
    if (!ReadResumeShortcutTargets(owner_, targets)) return true;
    for (const std::string& target : targets) {
      if (IsInFolder(target, folder)) return true;
    }
    return false;
  }
  void Remove(const std::string& folder) override { RemoveTempCopy(folder); }

 private:
  HWND owner_;
};

constexpr char kRecordWhileFromMedium[] =
    "the setup runs from its medium, and the record keeps what this run removes until the run is over";

// Whether two spellings name the same folder (both end with a backslash).
bool IsSameFolder(const std::string& a, const std::string& b) {
  if (EqualsNoCase(a, b)) return true;
  const std::string shortA = ShortPathOf(a);
  return !shortA.empty() && EqualsNoCase(shortA, ShortPathOf(b));
}

// The held in-use mutex of this process's copy; it lives as long as the
// process runs from the copy.
ScopedHandle g_copyInUse;

}  // namespace

RecordFiles& PlatformRecordFiles() {
  static Win32RecordFiles files;
  return files;
}

void MarkTempCopyInUse(const std::string& programFolder) {
  if (g_copyInUse || !IsOwnTempCopy(programFolder)) return;
  g_copyInUse = ScopedHandle(CreateMutexA(nullptr, FALSE, InUseMutexName(programFolder).c_str()));
}

bool IsTempCopyInUse(const std::string& folder) {
  ScopedHandle mutex(OpenMutexA(SYNCHRONIZE, FALSE, InUseMutexName(folder).c_str()));
  return mutex.IsValid();
}

bool IsRemovedTempCopy(const std::string& programFolder, const std::string& programName) {
  if (!IsOwnTempCopy(programFolder)) return false;
  RunRecord record;
  // The record goes last; before it, everything but a program in use.
  return ReadRunRecord(PlatformRecordFiles(), programFolder, record) == RecordState::kMissing ||
         FolderHoldsOnly(programFolder, {programName, kRunRecordName, kNewRunRecordName});
}

ResumeShortcutClassifier::ResumeShortcutClassifier(const std::string& programFolder, const std::string& tag,
                                                   const std::string& identity)
    : programFolder_(programFolder) {
  ours_.medium = programFolder;
  ours_.dataFile = TagDataFile(tag);
  ours_.identity = identity;
  RunRecord claimed;
  if (IsTrustedTempCopy(programFolder) &&
      ReadRunRecord(PlatformRecordFiles(), programFolder, claimed) == RecordState::kComplete)
    ours_.medium = claimed.medium;
}

ShortcutOwner ResumeShortcutClassifier::operator()(const std::string& target, const std::string& description) const {
  if (!TagNamesDataFile(description, ours_.dataFile)) return ShortcutOwner::kAnotherSetup;
  std::string folder = FolderOf(target);
  AppendBackslash(folder);
  if (!IsOwnTempCopy(folder)) {
    // A medium started directly (/~-, or a copy that could not be made).
    return IsSameFolder(folder, ours_.medium) ? ShortcutOwner::kThisSetup : ShortcutOwner::kAnotherSetup;
  }
  // A copy that is gone never comes back: nothing is left to start.
  if (FileAttributesByName(folder) == INVALID_FILE_ATTRIBUTES) return ShortcutOwner::kNobody;
  if (IsSameFolder(folder, programFolder_)) return ShortcutOwner::kThisSetup;
  RunRecord record;
  if (!IsOwnedByThisUser(folder) || ReadRunRecord(PlatformRecordFiles(), folder, record) != RecordState::kComplete)
    return ShortcutOwner::kAnotherSetup;
  // Without an identity on both sides, the medium's folder decides, in
  // whichever spelling (long, short) each was written.
  const bool same = !record.identity.empty() && !ours_.identity.empty() ? record.identity == ours_.identity
                                                                        : IsSameFolder(record.medium, ours_.medium);
  return same ? ShortcutOwner::kThisSetup : ShortcutOwner::kAnotherSetup;
}

const std::string& SetupEngine::RunMediumIdentity() {
  if (!runRecord.identity.empty() || commandLine == nullptr || !commandLine->GetSetupDataFile().IsLoaded())
    return runRecord.identity;
  // A run from a copy knows its medium only from the record it claimed.
  if (commandLine->GetTempCopyState() == TempCopyState::kRunningFromCopy) return runRecord.identity;
  runRecord.identity = MediumIdentity(setupFolder, commandLine->GetDataFileName(),
                                      commandLine->GetSetupDataFile().GetPackageName());
  return runRecord.identity;
}

void SetupEngine::CopySetupToTempFolder() {
  SetupCommandLine& line = RequireCommandLine(kLocationTempCopy);
  if (line.GetTempCopyState() == TempCopyState::kRunningFromCopy) {
    TakeOverCopy();
    return;
  }
  const ProcessIdentity self = CurrentProcessIdentity();
  RunMediumIdentity();
  runRecord.medium = setupFolder;
  runRecord.dataFile = line.GetDataFileName();
  runRecord.processId = self.id;
  runRecord.processStart = self.started;
  SystemCopyMachine machine(ownerWindow);
  const LeftoverCopies leftovers = PlanLeftoverRemoval(machine, runRecord, runRecord);
  if (line.GetTempCopyState() != TempCopyState::kNotYet) {
    LogNoRunRecord("the setup runs from its medium (/~-)");
    RemoveLeftovers(machine, leftovers, false, runRecord);
    return;
  }
  std::string copy;
  if (!CreateTempCopyFolder(copy)) {
    SetupLog("Failed to create a temporary folder; running from the original location");
    LogNoRunRecord("no temporary folder could be created");
    RemoveLeftovers(machine, leftovers, false, runRecord);
    return;
  }
  // The record comes first: a copy cut off while it is made is known as a
  // copy (and removed by a later run), and the upgrade bases taken over
  // from the old copies are kept before any of them is deleted.
  if (!WriteRunRecord(PlatformRecordFiles(), copy, runRecord)) {
    SetupLogF("Failed to write the record of \"%s\", Error code = 0x%08X; running from the original location",
              copy.c_str(), static_cast<unsigned>(GetLastError()));
    RemoveTempCopy(copy);
    line.SetTempCopyState(TempCopyState::kNone);
    LogNoRunRecord("its file could not be written");
    RemoveLeftovers(machine, leftovers, false, runRecord);
    return;
  }
  runRecordFolder = copy;
  RemoveLeftovers(machine, leftovers, true, runRecord);

  if (!CopyLeavesRoomOnDrive(setupFolder, copy)) {
    KeepRecordOnly(copy, kRecordWhileFromMedium);
    line.SetTempCopyState(TempCopyState::kNone);
    return;
  }
  SetupLogF("Copying \"%s\" to \"%s\"", setupFolder.c_str(), copy.c_str());
  const std::string original = setupFolder;
  setupFolder = copy;
  line.SetTempCopyState(TempCopyState::kRunningFromCopy);
  if (CopyFolderTree(original, copy)) {
    line.SetSetupFolder(copy.c_str());
    return;
  }
  SetupLogF("Failed to copy the setup; running from \"%s\"", original.c_str());
  KeepRecordOnly(copy, kRecordWhileFromMedium);
  line.SetTempCopyState(TempCopyState::kNone);
  setupFolder = original;
}

void SetupEngine::KeepRecordOnly(const std::string& copy, const char* why) {
  DeleteFolderContents(copy, {kRunRecordName, kNewRunRecordName});
  SetupLogF("Keeping only the record in \"%s\": %s", copy.c_str(), why);
}

void SetupEngine::LogNoRunRecord(const char* reason) const {
  SetupLogF("No record of this run is kept: %s. Should the run be cut off, a rerun starts from the beginning and "
            "does not know which earlier versions this run removed",
            reason);
}

void SetupEngine::RemoveTempFolder(bool setupDone) {
  if (commandLine == nullptr) return;
  // A run that failed after it removed an upgrade's base keeps the record:
  // a rerun of the medium must know that the base was there.
  const bool keepRecord = !setupDone && !runRecordFolder.empty() && !runRecord.removedBases.empty();
  if (commandLine->RemovesTempCopy() && !setupFolder.empty()) {
    if (!IsOwnTempCopy(setupFolder)) {
      SetupLogF("Not removing \"%s\": it is not a temporary copy made by setup", setupFolder.c_str());
    } else if (keepRecord && runRecordFolder == setupFolder) {
      KeepRecordOnly(setupFolder, "it keeps the upgrade bases this run removed for the next run of the medium");
    } else {
      RemoveTempCopy(setupFolder);
      if (runRecordFolder == setupFolder) runRecordFolder.clear();
    }
  }
  if (!runRecordFolder.empty() && runRecordFolder != setupFolder && !keepRecord && IsOwnTempCopy(runRecordFolder)) {
    RemoveTempCopy(runRecordFolder);
    runRecordFolder.clear();
  }
  if (!setupDone) return;
  // The setup is done: what earlier runs of this medium recorded is done
  // with, and copies whose run is over go.
  SystemCopyMachine machine(ownerWindow);
  RunRecord taken;
  const LeftoverCopies leftovers = PlanLeftoverRemoval(machine, runRecord, taken);
  RemoveLeftovers(machine, leftovers, true, runRecord);
}

void SetupEngine::SaveRunRecord() {
  if (runRecordFolder.empty()) return;
  if (!WriteRunRecord(PlatformRecordFiles(), runRecordFolder, runRecord))
    SetupLogF("Failed to write the record of \"%s\", Error code = 0x%08X", runRecordFolder.c_str(),
              static_cast<unsigned>(GetLastError()));
}

void SetupEngine::KeepTempCopy() {
  if (commandLine != nullptr) commandLine->KeepTempCopy();
}

void SetupEngine::ClaimTempCopy() {
  if (commandLine == nullptr || commandLine->GetTempCopyState() != TempCopyState::kRunningFromCopy) return;
  if (!runRecordFolder.empty()) return;  // claimed already
  // " /~" can be typed anywhere: a record lying in a medium's folder, or in
  // another user's copy, is nobody's word.
  if (!IsTrustedTempCopy(setupFolder)) {
    SetupLogF("\"%s\" is not a temporary copy of this user's: its record is not read, and this run keeps none",
              setupFolder.c_str());
    return;
  }
  RunRecord record;
  const RecordState state = ReadRunRecord(PlatformRecordFiles(), setupFolder, record);
  if (state != RecordState::kComplete) {
    SetupLogF("The record of \"%s\" %s: the copy is not claimed", setupFolder.c_str(), RecordStateText(state));
    return;
  }
  const ProcessIdentity self = CurrentProcessIdentity();
  runRecord = record;
  runRecord.processId = self.id;
  runRecord.processStart = self.started;
  runRecordFolder = setupFolder;
  SaveRunRecord();
}

void SetupEngine::TakeOverCopy() {
  ClaimTempCopy();
  if (runRecordFolder.empty()) return;

  // Windows Installer keeps the folder of the package it installs as the
  // product's source for later repairs: the medium, not this copy, which
  // is deleted at the end.
  const std::string dataFolder = FolderOf(commandLine->GetDataFileName());
  const std::string& package = commandLine->GetSetupDataFile().GetPackageName();
  const std::string mediumFolder = JoinPath(runRecord.medium, dataFolder);
  // Same size and the same bytes: the medium still holds the package that
  // was copied (and so its product and package codes).
  if (HaveSameContent(JoinPath(packageFolder, package), JoinPath(mediumFolder, package))) {
    SetupLogF("The medium \"%s\" holds the package: it is installed from there", runRecord.medium.c_str());
    packageFolder = mediumFolder;
  } else if (!IsCopyWhole() &&
             MediumIdentity(runRecord.medium, commandLine->GetDataFileName(), package) == runRecord.identity) {
    // The power went before the copy reached the disk: the medium is as
    // it was when the copy was made.
    SetupLogF("The package is installed from the medium \"%s\", which holds what was copied",
              runRecord.medium.c_str());
    packageFolder = mediumFolder;
  } else {
    SetupLogF("The medium \"%s\" no longer holds the package: it is installed from the temporary copy, and "
              "later repairs will ask for the medium",
              runRecord.medium.c_str());
  }
}

bool SetupEngine::IsCopyWhole() {
  if (runRecord.identity.empty()) return true;  // a record of an earlier version: nothing to tell by
  const std::string copied = MediumIdentity(setupFolder, commandLine->GetDataFileName(),
                                            commandLine->GetSetupDataFile().GetPackageName());
  if (copied == runRecord.identity) return true;
  SetupLogF("The temporary copy \"%s\" does not hold what was copied from \"%s\": its data file or package "
            "is damaged or missing",
            setupFolder.c_str(), runRecord.medium.c_str());
  return false;
}

}  // namespace kq
