#pragma once
// Record files in memory, with a power cut: after a given number of steps
// (each call, and each byte written, is one) every operation fails and the
// "disk" keeps what had reached it, a file being written cut off at its
// last byte.
#include <map>
#include <string>

#include "steps/temp_copy.h"

namespace kq {
namespace test {

class MemoryRecordFiles : public RecordFiles {
 public:
  std::map<std::string, std::string> disk;
  // Where the system cannot replace a file in one step: the old one is
  // deleted, then the new one renamed (two steps).
  bool deleteThenRename = false;
  long stepsTaken = 0;

  // The power goes after `steps` more steps; negative: never.
  void CutAfter(long steps) { budget_ = steps; }

  WholeFileRead Read(const std::string& path, size_t limit, std::string& bytes) override {
    bytes.clear();
    if (!Step()) return WholeFileRead::kFailed;
    const auto found = disk.find(path);
    if (found == disk.end()) return WholeFileRead::kMissing;
    if (found->second.size() > limit) return WholeFileRead::kTooLarge;
    bytes = found->second;
    return WholeFileRead::kRead;
  }
  bool WriteThrough(const std::string& path, const std::string& bytes) override {
    if (!Step()) return false;
    std::string& file = disk[path];
    file.clear();
    for (char c : bytes) {
      if (!Step()) return false;
      file += c;
    }
    return true;
  }
  bool Replace(const std::string& from, const std::string& to) override {
    if (!Step() || disk.count(from) == 0) return false;
    if (deleteThenRename) {
      disk.erase(to);
      if (!Step()) return false;
    }
    disk[to] = disk[from];
    disk.erase(from);
    return true;
  }
  bool Remove(const std::string& path) override {
    if (!Step()) return false;
    disk.erase(path);
    return true;
  }

 private:
  bool Step() {
    if (budget_ == 0) return false;
    if (budget_ > 0) --budget_;
    ++stepsTaken;
    return true;
  }

  long budget_ = -1;
};

}  // namespace test
}  // namespace kq
