// Win32 files for the INI library. Names are opened through OpenFileByName:
// on the NT family the wide call, a read of an existing file with the ANSI
// conversion of the name first and then the OEM one (WithAnsiThenOem), any
// other open with the ANSI conversion only; the ANSI call on the 9x family.
#include <windows.h>

#include "ini/ini_byte_file.h"
#include "sys/scoped_handle.h"
#include "sys/wide_ansi.h"

namespace kq {

uint32_t GetIniLastError() { return ::GetLastError(); }
void SetIniLastError(uint32_t error) { ::SetLastError(error); }

namespace {

class Win32ByteFile : public IniByteFile {
 public:
  explicit Win32ByteFile(ScopedFile file) : file_(std::move(file)) {}

  bool Read(void* buffer, uint32_t size, uint32_t& bytesRead) override {
    DWORD got = 0;
    bytesRead = 0;
    if (!::ReadFile(file_.Get(), buffer, size, &got, nullptr)) return false;
    bytesRead = got;
    return true;
  }

  bool Write(const void* data, uint32_t size) override {
    DWORD written = 0;
    if (!::WriteFile(file_.Get(), data, size, &written, nullptr)) return false;
    if (written != size) {
      ::SetLastError(ERROR_DISK_FULL);
      return false;
    }
    return true;
  }

  bool Seek(uint64_t position) override {
    // SetFilePointer rather than SetFilePointerEx: the latter is missing on
    // the 9x family.
    LONG high = static_cast<LONG>(position >> 32);
    ::SetLastError(NO_ERROR);
    const DWORD low = ::SetFilePointer(file_.Get(), static_cast<LONG>(position & 0xFFFFFFFFu), &high, FILE_BEGIN);
    return !(low == INVALID_SET_FILE_POINTER && ::GetLastError() != NO_ERROR);
  }

  bool Close() override {
    if (!file_.IsValid()) return true;
    const BOOL closed = ::CloseHandle(file_.Release());
    return closed != FALSE;
  }

 private:
  ScopedFile file_;
};

class Win32FileOpener : public IniFileOpener {
 public:
  std::unique_ptr<IniByteFile> Open(const std::string& fileName, IniOpenMode mode) override {
    const bool read = mode == IniOpenMode::kRead;
    ScopedFile file = OpenFileByName(fileName, read ? GENERIC_READ : GENERIC_WRITE, FILE_SHARE_READ,
                                     read ? OPEN_EXISTING : CREATE_ALWAYS, FILE_FLAG_SEQUENTIAL_SCAN);
    if (!file.IsValid()) return nullptr;
    return std::make_unique<Win32ByteFile>(std::move(file));
  }
};

}  // namespace

IniFileOpener& PlatformFileOpener() {
  static Win32FileOpener opener;
  return opener;
}

}  // namespace kq
