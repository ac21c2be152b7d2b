#include "ini/size_limited_opener.h"

namespace kq {

namespace {

class SizeLimitedFile : public IniByteFile {
 public:
  SizeLimitedFile(std::unique_ptr<IniByteFile> inner, uint64_t limit, bool& refused)
      : inner_(std::move(inner)), limit_(limit), refused_(refused) {}

  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
    if (!inner_->Read(buffer, size, bytesRead)) return false;
    position_ += bytesRead;
    if (position_ <= limit_) return true;
    bytesRead = 0;
    refused_ = true;
    SetIniLastError(kIniErrorFileTooLarge);
    return false;
  }
  bool Write(const void* data, uint32_t size) override { return inner_->Write(data, size); }
  bool Seek(uint64_t position) override {
    if (!inner_->Seek(position)) return false;
    position_ = position;
    return true;
  }
  bool Close() override { return inner_->Close(); }

 private:
  std::unique_ptr<IniByteFile> inner_;
  uint64_t limit_;
  bool& refused_;
  uint64_t position_ = 0;
};

}  // namespace

std::unique_ptr<IniByteFile> SizeLimitedOpener::Open(const std::string& fileName, IniOpenMode mode) {
  std::unique_ptr<IniByteFile> file = inner_.Open(fileName, mode);
  if (!file) return nullptr;
  return std::make_unique<SizeLimitedFile>(std::move(file), limit_, refused_);
}

}  // namespace kq
