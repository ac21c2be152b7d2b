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
#include <cstdint>
#include <string>
#include <vector>

namespace kq {

class IniFileOpener;

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
// The record's file name inside the copy.
constexpr char kRunRecordName[] = "KQSETUP.RUN";

struct RunRecord {
  std::string medium;          // the folder the copy was made of, with a trailing backslash
  std::string dataFile;        // the setup data file name as the command line gave it
  uint32_t processId = 0;      // the run that uses the copy
  uint64_t processStart = 0;   // its creation time (FILETIME), telling a reused identifier apart
  std::vector<std::string> removedBases;  // [UpgradeConditions] keys met with REMOVE

  // Whether `folder` and `dataFile` name the same medium as this record
  // (letter case aside).
  bool IsOf(const std::string& folder, const std::string& dataFileName) const;
  void AddRemovedBase(const std::string& key);
  bool HasRemovedBase(const std::string& key) const;
};

// False when the file is missing or is not a record.
bool ReadRunRecord(IniFileOpener& opener, const std::string& path, RunRecord& record);
// False when the file cannot be written.
bool WriteRunRecord(IniFileOpener& opener, const std::string& path, const RunRecord& record);

// --- The folder (Windows) -------------------------------------------------------
// Creates "<temp>KIES%04X" (at most 99 names tried) and hands back its path
// with a trailing backslash. The temporary-files folder itself is created
// when it is missing.
bool CreateTempCopyFolder(std::string& path);

// Whether `folder` is a copy CreateTempCopyFolder made: IsTempCopyFolder in
// the long or the short spelling of the folder and the temporary-files
// folder.
bool IsOwnTempCopy(const std::string& folder);

// Deletes a copy (its path ends with a backslash), scheduling for the next
// restart what is in use.
void RemoveTempCopy(const std::string& copy);

}  // namespace kq
