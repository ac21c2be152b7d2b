// Feeds arbitrary bytes to the reader of a temporary copy's record, as the
// record itself or as a new record left beside a missing one. Checks: no
// crash or overrun (the sanitizers watch); only a complete record fills the
// result, with a medium; a record once rewritten reads back as written;
// and a power cut at any step of a rewrite leaves the old record or the new.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "steps/temp_copy.h"
#include "../tests/unit/steps/memory_record_files.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

constexpr char kFolder[] = "C:\\T\\KIES0001\\";

bool Same(const kq::RunRecord& a, const kq::RunRecord& b) {
  return a.medium == b.medium && a.dataFile == b.dataFile && a.processId == b.processId &&
         a.processStart == b.processStart && a.removedBases == b.removedBases;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string bytes(reinterpret_cast<const char*>(data), size);
  kq::test::MemoryRecordFiles files;
  // An odd first byte stands for a new record left alone (the old one gone).
  const bool pending = size > 0 && (data[0] & 1) != 0;
  files.disk[std::string(kFolder) + (pending ? kq::kNewRunRecordName : kq::kRunRecordName)] = bytes;

  kq::RunRecord record;
  const kq::RecordState state = kq::ReadRunRecord(files, kFolder, record);
  if (state != kq::RecordState::kComplete) {
    Check(record.medium.empty() && record.removedBases.empty());
    return 0;
  }
  Check(!record.medium.empty());

  // A record read and written once is what every later rewrite gives back
  // (a list line of a hostile record may lose the text before its "=").
  Check(kq::WriteRunRecord(files, kFolder, record));
  Check(kq::ReadRunRecord(files, kFolder, record) == kq::RecordState::kComplete);
  kq::RunRecord changed = record;
  changed.processId ^= 1;
  Check(kq::WriteRunRecord(files, kFolder, changed));
  kq::RunRecord again;
  Check(kq::ReadRunRecord(files, kFolder, again) == kq::RecordState::kComplete && Same(again, changed));

  // Back to the first, cut at a step the input picks.
  const long cut = static_cast<long>(size % 512);
  files.CutAfter(cut);
  const bool written = kq::WriteRunRecord(files, kFolder, record);
  files.CutAfter(-1);
  Check(kq::ReadRunRecord(files, kFolder, again) == kq::RecordState::kComplete);
  Check(Same(again, record) || (!written && Same(again, changed)));
  return 0;
}
