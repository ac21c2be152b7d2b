#pragma once
// The temporary copy of the setup: everything about it lives in this unit.
//
// Before it removes or installs anything, a run copies the medium (the
// folder of SETUP.EXE) into a new folder "KIESxxxx" directly inside the
// user's temporary-files folder and works from there, so that a medium that
// goes away (a CD ejected, a share lost over a restart) does not break it.
// The resume shortcut starts the copy's SETUP.EXE with " /~", and the end of
// the run deletes the copy again.
//
// The copy holds a record (KQSETUP.RUN) so that a later run knows whose copy
// it is: the medium it was copied from (a run resumed from the copy installs
// the medium's package when it is still there, so that Windows Installer
// keeps a source that lasts), the process that made or now uses it (a copy
// whose run is over can be removed by any later run), and the upgrade bases
// this medium found and began to remove (a run cut off after such a removal
// can still be finished).
//
// The name rule and the record are portable (tested natively); making,
// claiming and removing copies are SetupEngine operations in temp_copy.cpp.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "sys/shortcut_owner.h"
#include "sys/whole_file.h"

namespace kq {

// --- The folder's name -------------------------------------------------------
// "KIES" and four upper-case hexadecimal digits.
std::string TempCopyFolderName(unsigned number);

// Which folders the setup may delete: only a temporary copy it made itself.
// The temp-copy marker also arrives from the command line (" /~"), which
// anyone can type, so the marker alone must never make the folder the
// program was started from (a Downloads folder, a network share) look like a
// copy to delete. True when `folder` (a trailing backslash is allowed) is
// named "KIES" and four hexadecimal digits and lies directly inside
// `tempFolder` (the temporary-files folder, with or without its trailing
// backslash). Letters compare without regard to case; multibyte characters
// compare exactly.
bool IsTempCopyFolder(const std::string& folder, const std::string& tempFolder, unsigned codePage = 0);

// The search pattern for every such folder inside a temporary-files folder
// that ends with a backslash.
std::string TempCopySearchPattern(const std::string& tempFolder);

// --- The record ----------------------------------------------------------------
// The record's file name inside the copy, and the name a new record is
// written under before it replaces the old one.
constexpr char kRunRecordName[] = "KQSETUP.RUN";
constexpr char kNewRunRecordName[] = "KQSETUP.NEW";
// A record is a few lines; anything longer was not written by a run and is
// not read.
constexpr size_t kRunRecordLimit = 64 * 1024;

struct RunRecord {
  std::string medium;          // the folder the copy was made of, with a trailing backslash
  std::string dataFile;        // the setup data file name as the command line gave it
  std::string identity;        // MediumIdentity of the medium; empty in records of earlier versions
  uint32_t processId = 0;      // the run that uses the copy
  uint64_t processStart = 0;   // its creation time (FILETIME), telling a reused identifier apart
  std::vector<std::string> removedBases;  // [UpgradeConditions] keys met with REMOVE

  // Whether this record is of the medium `run` (a run's own record: its
  // medium's folder, data file and identity) is of. A medium is known by
  // what it holds: where both know the identity, it decides, wherever each
  // was started from (a deployment tool's cache folder, another drive
  // letter), and the same folder holding another medium is another one. A
  // record without an identity is known by its folder, letter case aside.
  // The data file's name must match either way.
  bool IsOfMedium(const RunRecord& run) const;
  void AddRemovedBase(const std::string& key);
  bool HasRemovedBase(const std::string& key) const;
};

// The file operations a record is kept with: the file system in the
// program, memory in the tests (where a power loss can cut any of them at
// any byte).
class RecordFiles {
 public:
  virtual ~RecordFiles() = default;
  // The whole file, when it holds at most `limit` bytes.
  virtual WholeFileRead Read(const std::string& path, size_t limit, std::string& bytes) = 0;
  // Creates or truncates the file and writes `bytes`; true only once they
  // have reached the disk (flushed).
  virtual bool WriteThrough(const std::string& path, const std::string& bytes) = 0;
  // Moves `from` over `to`. Where the system cannot replace a file in one
  // step (the 9x family), `to` is deleted first: in between, only `from`
  // exists.
  virtual bool Replace(const std::string& from, const std::string& to) = 0;
  // Deletes the file; true when it is gone (also when it was not there).
  virtual bool Remove(const std::string& path) = 0;
};

// What a copy folder holds. A record is complete only with its last line:
// a record cut off while it was written (a power loss, a full disk) is
// never taken for no record, and never read for a shorter one.
enum class RecordState { kComplete, kMissing, kIncomplete, kTooLarge };

// Reads the record of the copy in `folder` (ending with a backslash): the
// record itself, or, when there is none, a complete new record that had not
// yet replaced it. `record` is filled only when complete.
RecordState ReadRunRecord(RecordFiles& files, const std::string& folder, RunRecord& record);
// Replaces the record of the copy in `folder` whole: the new one is written
// and flushed under kNewRunRecordName, then moved over the old one, so that
// a power loss at any moment leaves the old record or the new one.
bool WriteRunRecord(RecordFiles& files, const std::string& folder, const RunRecord& record);
// Deletes the record (the last files of a copy to go); true when both names
// are gone.
bool RemoveRunRecord(RecordFiles& files, const std::string& folder);
// Why a record cannot be used, for the log ("is cut off", ...).
const char* RecordStateText(RecordState state);

// The file system's record files.
RecordFiles& PlatformRecordFiles();

// --- The medium's identity (Windows) -------------------------------------------
// What a medium holds, in a form cheap enough to compute on every run: 64
// hexadecimal digits of the SHA-256 of the data file's digest, the
// package's size and its first and last 64 KB (all of a smaller package).
// A package is never hashed whole: it may be hundreds of megabytes. Its
// summary information would tell its package code, but only with an
// engine, and the answer must be the same before and after the engine is
// installed. `dataFile` is the data file's name as the command line gave
// it (relative to `folder`); the package lies in the data file's folder.
// Empty when either file cannot be read.
std::string MediumIdentity(const std::string& folder, const std::string& dataFile, const std::string& packageName);

// --- Leftover copies -----------------------------------------------------------
// What the sweep of leftover copies asks of the machine: the file system,
// the processes and the resume shortcuts in the program, stand-ins in the
// tests.
class TempCopyMachine {
 public:
  virtual ~TempCopyMachine() = default;
  // Every "KIESxxxx" folder directly inside the temporary-files folder that
  // is no link, with a trailing backslash.
  virtual std::vector<std::string> CopyFolders() = 0;
  virtual RecordFiles& Files() = 0;
  // Whether the user this run is made the folder. Where Windows has one
  // user (the 9x family) every folder is that user's.
  virtual bool OwnedByThisUser(const std::string& folder) = 0;
  virtual bool IsRunning(uint32_t processId, uint64_t processStart) = 0;
  // Whether a SETUP.EXE runs from the folder now (it may not have claimed
  // the record yet).
  virtual bool InUse(const std::string& folder) = 0;
  // Whether a resume shortcut starts a program in the folder. A shortcut
  // that cannot be read starts nothing.
  virtual bool StartedByResume(const std::string& folder) = 0;
  // Whether the folder holds no file and no folder at all.
  virtual bool HoldsNothing(const std::string& folder) = 0;
  // Deletes the copy (its record last).
  virtual void Remove(const std::string& folder) = 0;
};

// The copies whose run is over, found by PlanLeftoverRemoval.
struct LeftoverCopies {
  std::vector<std::string> finished;
  // The ones among them that hold upgrade bases of this run's medium: they
  // are removed only once this run keeps the bases in a record of its own,
  // or once its setup is done.
  std::vector<std::string> holdingBases;
};

// Looks at every copy of this user and says in the log why each one that
// stays, stays: another user's, no complete record, its run goes on, a
// setup runs from it, a resume shortcut starts it, or it holds the upgrade
// bases of another medium's run. A folder that holds nothing at all (cut
// off between its making and its record, or between its record's deletion
// and its own) is over too. The upgrade bases of the copies of `self`'s
// medium (RunRecord::IsOfMedium) are added to `ours`. A copy whose record
// names `self`'s process is this run's own earlier one and is over.
LeftoverCopies PlanLeftoverRemoval(TempCopyMachine& machine, const RunRecord& self, RunRecord& ours);

// Removes the planned copies, the ones holding bases only when
// `withBases`. Each is looked at once more just before: a run resumed from
// it meanwhile (it claimed the record, or runs from the folder) keeps it.
void RemoveLeftovers(TempCopyMachine& machine, const LeftoverCopies& copies, bool withBases, const RunRecord& self);

// --- The folder (Windows) -------------------------------------------------------
// Creates "<temp>KIES%04X" (at most 99 names tried) and hands back its path
// with a trailing backslash. The temporary-files folder itself is created
// when it is missing.
bool CreateTempCopyFolder(std::string& path);

// Whether `folder` is a copy CreateTempCopyFolder made: IsTempCopyFolder in
// the long or the short spelling of the folder and the temporary-files
// folder.
bool IsOwnTempCopy(const std::string& folder);

// Deletes a copy (its path ends with a backslash): every other file first,
// then its record, then the folder, scheduling for the next restart what is
// in use. A cut at any step leaves a copy with its record, which a later run
// removes once its run is over, or a folder holding nothing, which a later
// run removes too.
void RemoveTempCopy(const std::string& copy);

// A SETUP.EXE that runs from a copy says so for as long as it runs (a named
// mutex of the folder), before it reads anything: a run that sweeps
// leftover copies leaves that one alone even before its record is claimed.
// Nothing when `programFolder` is no copy.
void MarkTempCopyInUse(const std::string& programFolder);
bool IsTempCopyInUse(const std::string& folder);

// Whose a resume shortcut is, for a setup whose program runs from
// `programFolder` with the shortcut tag `tag`, of the medium whose identity
// is `identity` (empty when unknown): a shortcut is this setup's when it
// starts a program of the same medium with the same data file: a copy whose
// record is of this medium (RunRecord::IsOfMedium), or a folder that is
// this run's medium. One that starts a copy that is gone is nobody's; one
// whose copy's record cannot be read, or lies in another user's copy, is
// another's.
class ResumeShortcutClassifier final : public ShortcutClassifier {
 public:
  ResumeShortcutClassifier(const std::string& programFolder, const std::string& tag, const std::string& identity);
  ShortcutOwner operator()(const std::string& target, const std::string& description) const override;

 private:
  std::string programFolder_;
  RunRecord ours_;  // this run: its medium (as the copy's record has it), data file and identity
};
inline ResumeShortcutClassifier ClassifyResumeShortcuts(const std::string& programFolder, const std::string& tag,
                                                        const std::string& identity) {
  return ResumeShortcutClassifier(programFolder, tag, identity);
}

// Whether `folder` is a copy this user's runs may trust: one that
// CreateTempCopyFolder made (IsOwnTempCopy) and that this user owns. A
// record anywhere else is never read: anyone may have put it there.
bool IsTrustedTempCopy(const std::string& folder);

// Whether `programFolder` is a copy that another setup removed (or is
// removing) while this program was starting: its record is gone, or it
// holds nothing but the program `programName` (in use) and the record.
bool IsRemovedTempCopy(const std::string& programFolder, const std::string& programName);

}  // namespace kq
