// A medium's identity (see steps/temp_copy.h): what it holds, read cheaply.
#include <windows.h>

#include <cstdint>
#include <vector>

#include "steps/temp_copy.h"
#include "sys/file_sha256.h"
#include "sys/scoped_handle.h"
#include "sys/sha256.h"
#include "sys/wide_ansi.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

constexpr DWORD kPackageEnd = 64 * 1024;

// Reads `size` bytes from `offset` into the hash; false on any shortfall.
bool HashRange(HANDLE file, uint64_t offset, DWORD size, Sha256& hash) {
  LONG high = static_cast<LONG>(offset >> 32);
  if (SetFilePointer(file, static_cast<LONG>(offset & 0xFFFFFFFFu), &high, FILE_BEGIN) == INVALID_SET_FILE_POINTER &&
      GetLastError() != NO_ERROR)
    return false;
  std::vector<BYTE> buffer(size);
  DWORD read = 0;
  if (size != 0 && (!ReadFile(file, buffer.data(), size, &read, nullptr) || read != size)) return false;
  hash.Update(buffer.data(), read);
  return true;
}

}  // namespace

std::string MediumIdentity(const std::string& folder, const std::string& dataFile, const std::string& packageName) {
  std::string dataDigest;
  if (packageName.empty() || !ComputeFileSha256(JoinPath(folder, dataFile), dataDigest)) return std::string();
  const std::string package = JoinPath(folder + FolderOf(dataFile), packageName);
  ScopedFile file = OpenFileByName(package, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (!file) return std::string();
  DWORD high = 0;
  const DWORD low = GetFileSize(file.Get(), &high);
  if (low == INVALID_FILE_SIZE && GetLastError() != NO_ERROR) return std::string();
  const uint64_t size = static_cast<uint64_t>(high) << 32 | low;

  Sha256 hash;
  hash.Update(dataDigest.data(), dataDigest.size());
  uint8_t sizeBytes[8];
  for (int i = 0; i < 8; ++i) sizeBytes[i] = static_cast<uint8_t>(size >> (8 * i));
  hash.Update(sizeBytes, sizeof sizeBytes);
  if (size <= 2 * kPackageEnd) {
    if (!HashRange(file.Get(), 0, static_cast<DWORD>(size), hash)) return std::string();
  } else if (!HashRange(file.Get(), 0, kPackageEnd, hash) ||
             !HashRange(file.Get(), size - kPackageEnd, kPackageEnd, hash)) {
    return std::string();
  }
  return hash.FinishHex();
}

}  // namespace kq
