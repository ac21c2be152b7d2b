#include "sys/whole_file.h"

#include "sys/wide_ansi.h"

namespace kq {

WholeFileRead ReadWholeFile(const std::string& path, size_t limit, std::string& bytes) {
  bytes.clear();
  ScopedFile file = OpenFileByName(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (!file.IsValid()) {
    const DWORD error = GetLastError();
    return error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND ? WholeFileRead::kMissing
                                                                          : WholeFileRead::kFailed;
  }
  DWORD high = 0;
  const DWORD size = GetFileSize(file.Get(), &high);
  if (size == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return WholeFileRead::kFailed;
  if (high != 0 || size > limit) return WholeFileRead::kTooLarge;
  bytes.assign(size, '\0');
  DWORD read = 0;
  if (size != 0 && (!ReadFile(file.Get(), &bytes[0], size, &read, nullptr) || read != size)) {
    bytes.clear();
    return WholeFileRead::kFailed;
  }
  return WholeFileRead::kRead;
}

bool FlushToDisk(void* file) { return FlushFileBuffers(file) != FALSE; }

bool WriteWholeFileThrough(const std::string& path, const std::string& bytes, FlushCall flush) {
  ScopedFile file = OpenFileByName(path, GENERIC_WRITE, 0, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL);
  if (!file.IsValid()) return false;
  DWORD written = 0;
  const bool whole = bytes.empty() || (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()),
                                                 &written, nullptr) &&
                                       written == bytes.size());
  if (whole && flush(file.Get())) return true;
  const DWORD error = GetLastError();
  file.Close();
  DeleteFileByName(path);
  SetLastError(error);
  return false;
}

bool FlushFileByName(const std::string& path, FlushCall flush) {
  ScopedFile file = OpenFileByName(path, GENERIC_WRITE, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  return file.IsValid() && flush(file.Get());
}

}  // namespace kq
