#include "steps/temp_copy.h"

#include "ini/ini_file.h"
#include "sys/format.h"
#include "text/ascii_text.h"

namespace kq {

namespace {

// The record's sections and keys, as a record of any version spells them.
constexpr char kRun[] = "Run";
constexpr char kMedium[] = "Medium";
constexpr char kDataFile[] = "DataFile";
constexpr char kProcess[] = "Process";
constexpr char kStarted[] = "Started";
constexpr char kRemovedBases[] = "RemovedUpgradeBases";

bool ReadHex(const std::string& text, uint64_t& value) {
  if (text.empty() || text.size() > 16) return false;
  value = 0;
  for (char c : text) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return false;
    }
    value = value << 4 | static_cast<uint64_t>(digit);
  }
  return true;
}

}  // namespace

bool RunRecord::IsOf(const std::string& folder, const std::string& dataFileName) const {
  return EqualsNoCase(medium, folder) && EqualsNoCase(dataFile, dataFileName);
}

void RunRecord::AddRemovedBase(const std::string& key) {
  if (!HasRemovedBase(key)) removedBases.push_back(key);
}

bool RunRecord::HasRemovedBase(const std::string& key) const {
  for (const std::string& base : removedBases) {
    if (EqualsNoCase(base, key)) return true;
  }
  return false;
}

bool ReadRunRecord(IniFileOpener& opener, const std::string& path, RunRecord& record) {
  record = RunRecord();
  try {
    CIniFile document(opener);
    document.Load(path);
    IniSection* run = nullptr;
    if (!document.FindSection(kRun, &run) || run == nullptr) return false;
    std::string id;
    std::string start;
    uint64_t processId = 0;
    if (!run->GetValue(kMedium, &record.medium) || !run->GetValue(kDataFile, &record.dataFile) ||
        !run->GetValue(kProcess, &id) || !run->GetValue(kStarted, &start) || !ReadHex(id, processId) ||
        processId > 0xFFFFFFFFu || !ReadHex(start, record.processStart) || record.medium.empty()) {
      record = RunRecord();
      return false;
    }
    record.processId = static_cast<uint32_t>(processId);
    IniSection* bases = nullptr;
    if (document.FindSection(kRemovedBases, &bases) && bases != nullptr) {
      std::string key;
      for (long line = 0; bases->GetLine(line, &key); ++line) {
        if (!key.empty()) record.AddRemovedBase(key);
      }
    }
    return true;
  } catch (const CKqIniFileException&) {
    record = RunRecord();
    return false;
  }
}

bool WriteRunRecord(IniFileOpener& opener, const std::string& path, const RunRecord& record) {
  try {
    CIniFile document(opener);
    document.SetFileName(path);
    IniSection* run = document.AddSection(kRun);
    run->AddKeyValue(kMedium, record.medium);
    run->AddKeyValue(kDataFile, record.dataFile);
    run->AddKeyValue(kProcess, Format("%08X", static_cast<unsigned>(record.processId)));
    run->AddKeyValue(kStarted, Format("%08X%08X", static_cast<unsigned>(record.processStart >> 32),
                                       static_cast<unsigned>(record.processStart & 0xFFFFFFFFu)));
    IniSection* bases = document.AddSection(kRemovedBases);
    for (const std::string& key : record.removedBases) bases->AddLine(key);
    document.Save();
    return true;
  } catch (const CKqIniFileException&) {
    return false;
  }
}

}  // namespace kq
