#pragma once
// An IniFileOpener whose files refuse to be read past a size: a read that
// would reach beyond `limit` bytes fails with ERROR_FILE_TOO_LARGE instead
// of handing the parser a document it could not hold in memory (the model
// takes many times a file's size).
#include <cstdint>
#include <memory>
#include <string>

#include "ini/ini_byte_file.h"

namespace kq {

constexpr uint32_t kIniErrorFileTooLarge = 223;  // ERROR_FILE_TOO_LARGE

class SizeLimitedOpener : public IniFileOpener {
 public:
  SizeLimitedOpener(IniFileOpener& inner, uint64_t limit) : inner_(inner), limit_(limit) {}

  std::unique_ptr<IniByteFile> Open(const std::string& fileName, IniOpenMode mode) override;

  // Whether a file of this opener was refused for its size.
  bool Refused() const { return refused_; }

 private:
  IniFileOpener& inner_;
  uint64_t limit_;
  bool refused_ = false;
};

}  // namespace kq
