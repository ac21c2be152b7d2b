#include "sys/file_sha256.h"

#include <windows.h>
#include <wincrypt.h>

#include <vector>

#include "sys/scoped_handle.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"

// The headers offer SHA-256 only to builds for XP SP3 and later; the
// provider is asked at run time, and a system without it fails the hash.
#ifndef CALG_SHA_256
#define CALG_SHA_256 (ALG_CLASS_HASH | ALG_TYPE_ANY | 12)
#endif

namespace kq {

namespace {

struct CryptProviderTraits {
  using Handle = HCRYPTPROV;
  static Handle Invalid() { return 0; }
  static bool IsValid(Handle h) { return h != 0; }
  static void Close(Handle h) { CryptReleaseContext(h, 0); }
};

struct CryptHashTraits {
  using Handle = HCRYPTHASH;
  static Handle Invalid() { return 0; }
  static bool IsValid(Handle h) { return h != 0; }
  static void Close(Handle h) { CryptDestroyHash(h); }
};

bool Fail(const char* what, const std::string& path) {
  SetupLogF("%s failed (%lu) for %s", what, GetLastError(), path.c_str());
  return false;
}

}  // namespace

bool ComputeFileSha256(const std::string& path, std::string& digest) {
  digest.clear();
  HCRYPTPROV rawProvider = 0;
  if (!CryptAcquireContextA(&rawProvider, nullptr, nullptr, PROV_RSA_AES, CRYPT_VERIFYCONTEXT))
    return Fail("CryptAcquireContextA", path);
  ScopedGeneric<CryptProviderTraits> provider(rawProvider);
  HCRYPTHASH rawHash = 0;
  if (!CryptCreateHash(provider.Get(), CALG_SHA_256, 0, 0, &rawHash)) return Fail("CryptCreateHash", path);
  ScopedGeneric<CryptHashTraits> hash(rawHash);

  ScopedFile file = OpenFileByName(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_FLAG_SEQUENTIAL_SCAN);
  if (!file) return Fail("CreateFile", path);
  std::vector<BYTE> buffer(64 * 1024);
  for (;;) {
    DWORD read = 0;
    if (!ReadFile(file.Get(), buffer.data(), static_cast<DWORD>(buffer.size()), &read, nullptr))
      return Fail("ReadFile", path);
    if (read == 0) break;
    if (!CryptHashData(hash.Get(), buffer.data(), read, 0)) return Fail("CryptHashData", path);
  }
  BYTE value[32];
  DWORD size = sizeof value;
  if (!CryptGetHashParam(hash.Get(), HP_HASHVAL, value, &size, 0) || size != sizeof value)
    return Fail("CryptGetHashParam", path);
  static const char kDigits[] = "0123456789abcdef";
  for (BYTE b : value) {
    digest += kDigits[b >> 4];
    digest += kDigits[b & 15];
  }
  return true;
}

}  // namespace kq
