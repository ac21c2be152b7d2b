#pragma once
// The seam between the INI library and the file system. CTCharStream reads
// and writes bytes through an IniByteFile that an IniFileOpener hands out, so
// the line reader, the parser and the writer run unchanged on a Win32 file
// handle, on the host's stdio, or on bytes in memory (tests, fuzzing).
#include <cstdint>
#include <memory>
#include <string>

namespace kq {

// Win32 error numbers the INI library reports. Numeric so that the portable
// code needs no <windows.h>.
constexpr uint32_t kIniErrorSuccess = 0;
constexpr uint32_t kIniErrorFileNotFound = 2;      // ERROR_FILE_NOT_FOUND
constexpr uint32_t kIniErrorAccessDenied = 5;      // ERROR_ACCESS_DENIED
constexpr uint32_t kIniErrorInvalidHandle = 6;     // ERROR_INVALID_HANDLE
constexpr uint32_t kIniErrorInvalidData = 13;      // ERROR_INVALID_DATA
constexpr uint32_t kIniErrorWriteFault = 29;       // ERROR_WRITE_FAULT
constexpr uint32_t kIniErrorReadFault = 30;        // ERROR_READ_FAULT
constexpr uint32_t kIniErrorInvalidParameter = 87; // ERROR_INVALID_PARAMETER
constexpr uint32_t kIniErrorDiskFull = 112;        // ERROR_DISK_FULL
constexpr uint32_t kIniErrorInvalidName = 123;     // ERROR_INVALID_NAME
constexpr uint32_t kIniErrorNoUnicodeTranslation = 1113;  // ERROR_NO_UNICODE_TRANSLATION

// The calling thread's last error: GetLastError/SetLastError on Windows, a
// thread-local number elsewhere.
uint32_t GetIniLastError();
void SetIniLastError(uint32_t error);

// One open file. Every failing operation leaves the reason in the last error.
// Destroying the object closes the file.
class IniByteFile {
 public:
  virtual ~IniByteFile() = default;
  IniByteFile(const IniByteFile&) = delete;
  IniByteFile& operator=(const IniByteFile&) = delete;

  // Reads up to `size` bytes; `bytesRead` is 0 at the end of the file.
  virtual bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) = 0;
  // Writes all `size` bytes or fails.
  virtual bool Write(const void* data, uint32_t size) = 0;
  // Moves to an absolute byte position.
  virtual bool Seek(uint64_t position) = 0;
  // Closes the file; false when the system reports a failure (for a file
  // being written, data may then be lost).
  virtual bool Close() = 0;

 protected:
  IniByteFile() = default;
};

enum class IniOpenMode {
  kRead,   // an existing file, shared for reading, sequential scan
  kWrite,  // created or truncated, shared for reading, sequential scan
};

class IniFileOpener {
 public:
  virtual ~IniFileOpener() = default;
  // Null on failure, with the reason in the last error.
  virtual std::unique_ptr<IniByteFile> Open(const std::string& fileName, IniOpenMode mode) = 0;
};

// The real file system: Win32 files opened by the wide/ANSI rule on Windows,
// stdio files on the host. Defined by the system layer
// (sys/platform_file_win.cpp, sys/platform_file_host.cpp).
IniFileOpener& PlatformFileOpener();

}  // namespace kq
