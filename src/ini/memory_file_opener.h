#pragma once
// Files held in memory, for exercising the stream, the parser and the writer
// without a file system (unit tests on the host, fuzzing). Reads and writes
// can be made to fail after a given number of bytes.
#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "ini/ini_byte_file.h"

namespace kq {

class MemoryFileOpener : public IniFileOpener {
 public:
  static constexpr size_t kNoLimit = static_cast<size_t>(-1);

  void SetFile(const std::string& fileName, std::string content);
  // False when no such file exists.
  bool GetFile(const std::string& fileName, std::string& content) const;

  // From now on, a read or write that would go past `bytes` in total (per
  // open file) fails with the given error.
  void FailReadsAfter(size_t bytes, uint32_t error = kIniErrorReadFault);
  void FailWritesAfter(size_t bytes, uint32_t error = kIniErrorDiskFull);

  std::unique_ptr<IniByteFile> Open(const std::string& fileName, IniOpenMode mode) override;

 private:
  std::map<std::string, std::shared_ptr<std::string>> files_;
  size_t readLimit_ = kNoLimit;
  uint32_t readError_ = kIniErrorReadFault;
  size_t writeLimit_ = kNoLimit;
  uint32_t writeError_ = kIniErrorDiskFull;
};

}  // namespace kq
