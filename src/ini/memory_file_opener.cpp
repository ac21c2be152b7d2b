#include "ini/memory_file_opener.h"

#include <algorithm>
#include <cstring>

namespace kq {

namespace {

class MemoryByteFile : public IniByteFile {
 public:
  MemoryByteFile(std::shared_ptr<std::string> content, size_t readLimit, uint32_t readError, size_t writeLimit,
                 uint32_t writeError)
      : content_(std::move(content)),
        readLimit_(readLimit),
        readError_(readError),
        writeLimit_(writeLimit),
        writeError_(writeError) {}

  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
    bytesRead = 0;
    if (!open_) return Fail(kIniErrorInvalidHandle);
    const size_t available = position_ < content_->size() ? content_->size() - position_ : 0;
    const size_t count = std::min<size_t>(size, available);
    if (count > 0 && readLimit_ != MemoryFileOpener::kNoLimit && totalRead_ + count > readLimit_)
      return Fail(readError_);
    if (count > 0) std::memcpy(buffer, content_->data() + position_, count);
    position_ += count;
    totalRead_ += count;
    bytesRead = static_cast<uint32_t>(count);
    return true;
  }

  bool Write(const void* data, uint32_t size) override {
    if (!open_) return Fail(kIniErrorInvalidHandle);
    if (writeLimit_ != MemoryFileOpener::kNoLimit && totalWritten_ + size > writeLimit_) return Fail(writeError_);
    if (content_->size() < position_ + size) content_->resize(position_ + size);
    if (size > 0) std::memcpy(&(*content_)[position_], data, size);
    position_ += size;
    totalWritten_ += size;
    return true;
  }

  bool Seek(uint64_t position) override {
    if (!open_) return Fail(kIniErrorInvalidHandle);
    position_ = static_cast<size_t>(position);
    return true;
  }

  bool Close() override {
    open_ = false;
    return true;
  }

 private:
  static bool Fail(uint32_t error) {
    SetIniLastError(error);
    return false;
  }

  std::shared_ptr<std::string> content_;
  size_t position_ = 0;
  size_t totalRead_ = 0;
  size_t totalWritten_ = 0;
  size_t readLimit_;
  uint32_t readError_;
  size_t writeLimit_;
  uint32_t writeError_;
  bool open_ = true;
};

// Not std::make_shared: built without run-time type information, it links
// libstdc++'s type comparison and, with it, a pool of mutexes (some 2.7 KB).
std::shared_ptr<std::string> NewContent(std::string content) {
  return std::shared_ptr<std::string>(new std::string(std::move(content)));
}

}  // namespace

void MemoryFileOpener::SetFile(const std::string& fileName, std::string content) {
  files_[fileName] = NewContent(std::move(content));
}

bool MemoryFileOpener::GetFile(const std::string& fileName, std::string& content) const {
  auto found = files_.find(fileName);
  if (found == files_.end()) return false;
  content = *found->second;
  return true;
}

void MemoryFileOpener::FailReadsAfter(size_t bytes, uint32_t error) {
  readLimit_ = bytes;
  readError_ = error;
}

void MemoryFileOpener::FailWritesAfter(size_t bytes, uint32_t error) {
  writeLimit_ = bytes;
  writeError_ = error;
}

std::unique_ptr<IniByteFile> MemoryFileOpener::Open(const std::string& fileName, IniOpenMode mode) {
  auto found = files_.find(fileName);
  if (mode == IniOpenMode::Read) {
    if (found == files_.end()) {
      SetIniLastError(kIniErrorFileNotFound);
      return nullptr;
    }
  } else {
    // Created or truncated.
    files_[fileName] = NewContent(std::string());
    found = files_.find(fileName);
  }
  return std::make_unique<MemoryByteFile>(found->second, readLimit_, readError_, writeLimit_, writeError_);
}

}  // namespace kq
