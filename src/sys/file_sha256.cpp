#include "sys/file_sha256.h"

#include <windows.h>

#include <vector>

#include "sys/scoped_handle.h"
#include "sys/setup_log.h"
#include "sys/sha256.h"
#include "sys/wide_ansi.h"

namespace kq {

bool ComputeFileSha256(const std::string& path, std::string& digest) {
  digest.clear();
  ScopedFile file = OpenFileByName(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
  if (!file) {
    SetupLogF("CreateFile failed (%lu) for %s", GetLastError(), path.c_str());
    return false;
  }
  Sha256 hash;
  std::vector<BYTE> buffer(64 * 1024);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr)) {
      SetupLogF("ReadFile failed (%lu) for %s", GetLastError(), path.c_str());
      return false;
    }
    if (read == 0) break;
    hash.Update(buffer.data(), read);
  }
  digest = hash.FinishHex();
  return true;
}

bool HaveSameContent(const std::string& first, const std::string& second) {
  WIN32_FIND_DATAA a;
  WIN32_FIND_DATAA b;
  {
    ScopedFind one(FindFirstFileByName(first, a));
    ScopedFind other(FindFirstFileByName(second, b));
    if (!one || !other) return false;
  }
  if (a.nFileSizeLow != b.nFileSizeLow || a.nFileSizeHigh != b.nFileSizeHigh) return false;
  std::string digestA;
  std::string digestB;
  return ComputeFileSha256(first, digestA) && ComputeFileSha256(second, digestB) && digestA == digestB;
}

}  // namespace kq
