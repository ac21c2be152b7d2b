// Host (non-Windows) files for the INI library, through stdio. Errors are
// reported with the Win32 numbers the rest of the library uses.
#include <cerrno>
#include <cstdio>

#include "ini/ini_byte_file.h"

namespace kq {

namespace {

thread_local uint32_t lastError = kIniErrorSuccess;

uint32_t ErrorFromErrno(uint32_t fallback) {
  switch (errno) {
    case ENOENT:
    case ENOTDIR:
      return kIniErrorFileNotFound;
    case EACCES:
    case EPERM:
    case EISDIR:
      return kIniErrorAccessDenied;
    case ENOSPC:
      return kIniErrorDiskFull;
    default:
      return fallback;
  }
}

class StdioByteFile : public IniByteFile {
 public:
  explicit StdioByteFile(std::FILE* file) : file_(file) {}
  ~StdioByteFile() override { Close(); }

  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
    bytesRead = static_cast<uint32_t>(std::fread(buffer, 1, size, file_));
    if (bytesRead < size && std::ferror(file_)) {
      SetIniLastError(ErrorFromErrno(kIniErrorReadFault));
      return false;
    }
    return true;
  }

  bool Write(const void* data, uint32_t size) override {
    if (std::fwrite(data, 1, size, file_) != size) {
      SetIniLastError(ErrorFromErrno(kIniErrorWriteFault));
      return false;
    }
    return true;
  }

  bool Seek(uint64_t position) override {
    if (std::fseek(file_, static_cast<long>(position), SEEK_SET) != 0) {
      SetIniLastError(ErrorFromErrno(kIniErrorInvalidParameter));
      return false;
    }
    return true;
  }

  bool Close() override {
    if (file_ == nullptr) return true;
    const int result = std::fclose(file_);
    file_ = nullptr;
    if (result != 0) SetIniLastError(ErrorFromErrno(kIniErrorWriteFault));
    return result == 0;
  }

 private:
  std::FILE* file_;
};

class StdioFileOpener : public IniFileOpener {
 public:
  std::unique_ptr<IniByteFile> Open(const std::string& fileName, IniOpenMode mode) override {
    std::FILE* file = std::fopen(fileName.c_str(), mode == IniOpenMode::kRead ? "rb" : "wb");
    if (file == nullptr) {
      SetIniLastError(ErrorFromErrno(kIniErrorAccessDenied));
      return nullptr;
    }
    return std::make_unique<StdioByteFile>(file);
  }
};

}  // namespace

uint32_t GetIniLastError() { return lastError; }
void SetIniLastError(uint32_t error) { lastError = error; }

IniFileOpener& PlatformFileOpener() {
  static StdioFileOpener opener;
  return opener;
}

}  // namespace kq
