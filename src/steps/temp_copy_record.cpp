#include "steps/temp_copy.h"

#include <algorithm>

#include "ini/ini_file.h"
#include "sys/format.h"
#include "text/ascii_text.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

// The record's sections and keys, as a record of any version spells them.
constexpr char kRun[] = "Run";
constexpr char kMedium[] = "Medium";
constexpr char kDataFile[] = "DataFile";
constexpr char kIdentity[] = "Identity";
constexpr char kProcess[] = "Process";
constexpr char kStarted[] = "Started";
constexpr char kRemovedBases[] = "RemovedUpgradeBases";
constexpr char kEnd[] = "End";

bool ReadHex(const std::string& text, uint64_t& value) {
  if (text.empty() || text.size() > 16) return false;
  value = 0;
  for (char c : text) {
    // Upper case only: the record is written with %X, and a value reads
    // back only as it was written.
    const int digit = HexDigitValue(c);
    if (digit < 0 || ToUpperAscii(c) != c) return false;
    value = value << 4 | static_cast<uint64_t>(digit);
  }
  return true;
}

// Whether a key is written as a list line that reads back as itself: the
// Uninstall key names of a data file's list lines always are (such a line
// holds no "=", is no section header or comment, and has no blanks at its
// ends); a record written by anyone else may hold other lines, which are
// dropped.
bool IsRecordableBase(const std::string& key) {
  if (key.empty() || key.find_first_of("=\r\n") != std::string::npos) return false;
  if (key.front() == '[' || key.front() == ';') return false;
  return key.front() != ' ' && key.front() != '\t' && key.back() != ' ' && key.back() != '\t';
}

// 64 lower-case hexadecimal digits, as MediumIdentity gives them.
bool IsIdentity(const std::string& text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!(c >= '0' && c <= '9') && !(c >= 'a' && c <= 'f')) return false;
  }
  return true;
}

}  // namespace

bool RunRecord::IsOfMedium(const RunRecord& run) const {
  if (!EqualsNoCase(dataFile, run.dataFile)) return false;
  if (!identity.empty() && !run.identity.empty()) return identity == run.identity;
  return EqualsNoCase(medium, run.medium);
}

void RunRecord::AddRemovedBase(const std::string& key) {
  if (IsRecordableBase(key) && !HasRemovedBase(key)) removedBases.push_back(key);
}

bool RunRecord::HasRemovedBase(const std::string& key) const {
  for (const std::string& base : removedBases) {
    if (EqualsNoCase(base, key)) return true;
  }
  return false;
}

namespace {

// The record's bytes, already read (within its size limit), as the one file
// the INI reader opens.
class RecordBytesOpener : public IniFileOpener {
 public:
  explicit RecordBytesOpener(const std::string& bytes) : bytes_(bytes) {}

  std::unique_ptr<IniByteFile> Open(const std::string&, IniOpenMode mode) override {
    if (mode != IniOpenMode::kRead) {
      SetIniLastError(kIniErrorAccessDenied);
      return nullptr;
    }
    return std::make_unique<BytesFile>(bytes_);
  }

 private:
  class BytesFile : public IniByteFile {
   public:
    explicit BytesFile(const std::string& bytes) : bytes_(bytes) {}
    bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
      const size_t count = position_ < bytes_.size() ? std::min<size_t>(size, bytes_.size() - position_) : 0;
      bytes_.copy(static_cast<char*>(buffer), count, position_);
      position_ += count;
      bytesRead = static_cast<uint32_t>(count);
      return true;
    }
    bool Write(const void*, uint32_t) override {
      SetIniLastError(kIniErrorAccessDenied);
      return false;
    }
    bool Seek(uint64_t position) override {
      position_ = static_cast<size_t>(position);
      return true;
    }
    bool Close() override { return true; }

   private:
    const std::string& bytes_;
    size_t position_ = 0;
  };

  const std::string& bytes_;
};

// The document of a record's bytes; false when they are no INI text.
bool ParseRecord(const std::string& bytes, RunRecord& record) {
  RecordBytesOpener opener(bytes);
  try {
    CIniFile document(opener);
    document.Load(kRunRecordName);
    IniSection* run = nullptr;
    if (!document.FindSection(kRun, &run) || run == nullptr) return false;
    std::string id;
    std::string start;
    uint64_t processId = 0;
    if (!run->GetValue(kMedium, &record.medium) || !run->GetValue(kDataFile, &record.dataFile) ||
        !run->GetValue(kProcess, &id) || !run->GetValue(kStarted, &start) || !ReadHex(id, processId) ||
        processId > 0xFFFFFFFFu || !ReadHex(start, record.processStart) || record.medium.empty()) {
      return false;
    }
    record.processId = static_cast<uint32_t>(processId);
    // Records of earlier versions have none; a value that is not a digest
    // identifies nothing.
    if (run->GetValue(kIdentity, &record.identity) && !IsIdentity(record.identity)) record.identity.clear();
    IniSection* bases = nullptr;
    if (document.FindSection(kRemovedBases, &bases) && bases != nullptr) {
      std::string key;
      for (long line = 0; bases->GetLine(line, &key); ++line) {
        if (!key.empty()) record.AddRemovedBase(key);
      }
    }
    IniSection* end = nullptr;
    return document.FindSection(kEnd, &end);
  } catch (const CKqIniFileException&) {
    return false;
  }
}

// One file of the record: complete, missing, or not a whole record.
RecordState ReadRecordFile(RecordFiles& files, const std::string& path, RunRecord& record) {
  record = RunRecord();
  std::string bytes;
  switch (files.Read(path, kRunRecordLimit, bytes)) {
    case WholeFileRead::kMissing:
      return RecordState::kMissing;
    case WholeFileRead::kTooLarge:
      return RecordState::kTooLarge;
    case WholeFileRead::kFailed:
      return RecordState::kIncomplete;
    case WholeFileRead::kRead:
      break;
  }
  if (ParseRecord(bytes, record)) return RecordState::kComplete;
  record = RunRecord();
  return RecordState::kIncomplete;
}

// The record as the INI writer would save its document, line by line in
// the order read back: the run, the removed bases, and the end.
std::string RenderRecord(const RunRecord& record) {
  std::string bytes = std::string("[") + kRun + "]\r\n";
  const auto add = [&bytes](const char* key, const std::string& value) {
    bytes.append(key).append("=").append(value).append("\r\n");
  };
  add(kMedium, record.medium);
  add(kDataFile, record.dataFile);
  if (!record.identity.empty()) add(kIdentity, record.identity);
  add(kProcess, Format("%08X", static_cast<unsigned>(record.processId)));
  add(kStarted, Format("%08X%08X", static_cast<unsigned>(record.processStart >> 32),
                       static_cast<unsigned>(record.processStart & 0xFFFFFFFFu)));
  bytes.append("[").append(kRemovedBases).append("]\r\n");
  for (const std::string& key : record.removedBases) bytes.append(key).append("\r\n");
  // Written last: a record without it was cut off.
  bytes.append("[").append(kEnd).append("]\r\n");
  return bytes;
}

}  // namespace

RecordState ReadRunRecord(RecordFiles& files, const std::string& folder, RunRecord& record) {
  const RecordState state = ReadRecordFile(files, JoinPath(folder, kRunRecordName), record);
  if (state != RecordState::kMissing) return state;
  // Between the deletion of the old record and the renaming of the new one
  // (the 9x family), only the new one is there; a new one that is not
  // complete never replaced anything.
  const RecordState pending = ReadRecordFile(files, JoinPath(folder, kNewRunRecordName), record);
  return pending == RecordState::kComplete ? pending : RecordState::kMissing;
}

bool WriteRunRecord(RecordFiles& files, const std::string& folder, const RunRecord& record) {
  const std::string bytes = RenderRecord(record);
  const std::string pending = JoinPath(folder, kNewRunRecordName);
  if (files.WriteThrough(pending, bytes) && files.Replace(pending, JoinPath(folder, kRunRecordName))) return true;
  files.Remove(pending);
  return false;
}

bool RemoveRunRecord(RecordFiles& files, const std::string& folder) {
  // The new one first: once the record is gone, a new one left alone would
  // be read in its place.
  const bool pendingGone = files.Remove(JoinPath(folder, kNewRunRecordName));
  return files.Remove(JoinPath(folder, kRunRecordName)) && pendingGone;
}

const char* RecordStateText(RecordState state) {
  switch (state) {
    case RecordState::kComplete:
      return "is complete";
    case RecordState::kMissing:
      return "is missing";
    case RecordState::kIncomplete:
      return "is cut off or unreadable";
    case RecordState::kTooLarge:
      return "is larger than 64 KB";
  }
  return "is unknown";
}

}  // namespace kq
