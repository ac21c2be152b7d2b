#pragma once
// What a run writes into the temporary copy it makes, so that a later run
// knows whose copy it is: the medium it was copied from (a run resumed from
// the copy installs the medium's package when it is still there, so that
// Windows Installer keeps a source that lasts), the process that made or
// now uses it (a copy whose run is over can be removed by any later run),
// and the upgrade bases this medium found and began to remove (a run cut
// off after such a removal can still be finished).
#include <cstdint>
#include <string>
#include <vector>

namespace kq {

class IniFileOpener;

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

}  // namespace kq
