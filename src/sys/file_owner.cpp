#include "sys/file_owner.h"

#include <windows.h>

#include <vector>

#include "sys/scoped_handle.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

using GetFileSecurityWFn = BOOL(WINAPI*)(LPCWSTR, SECURITY_INFORMATION, PSECURITY_DESCRIPTOR, DWORD, LPDWORD);

// The token's information of one class, or empty.
std::vector<BYTE> TokenInformation(HANDLE token, TOKEN_INFORMATION_CLASS kind) {
  DWORD size = 0;
  GetTokenInformation(token, kind, nullptr, 0, &size);
  if (size == 0) return {};
  std::vector<BYTE> buffer(size);
  if (!GetTokenInformation(token, kind, buffer.data(), size, &size)) return {};
  return buffer;
}

}  // namespace

bool IsOwnedByThisUser(const std::string& path) {
  if (!IsWindowsNT()) return true;
  auto getFileSecurityW =
      reinterpret_cast<GetFileSecurityWFn>(reinterpret_cast<void*>(GetProcFromLibrary("ADVAPI32.DLL", "GetFileSecurityW")));
  if (getFileSecurityW == nullptr) return false;
  const std::wstring wide = ToWideAnsi(path.c_str());
  DWORD size = 0;
  getFileSecurityW(wide.c_str(), OWNER_SECURITY_INFORMATION, nullptr, 0, &size);
  if (size == 0) return GetLastError() == ERROR_NOT_SUPPORTED;
  std::vector<BYTE> descriptor(size);
  if (!getFileSecurityW(wide.c_str(), OWNER_SECURITY_INFORMATION, descriptor.data(), size, &size)) return false;
  PSID owner = nullptr;
  BOOL defaulted = FALSE;
  if (!GetSecurityDescriptorOwner(descriptor.data(), &owner, &defaulted)) return false;
  // A file system without security keeps no owner: its files are everyone's
  // alike, as on the 9x family.
  if (owner == nullptr) return true;

  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &rawToken)) return false;
  const ScopedHandle token(rawToken);
  const std::vector<BYTE> user = TokenInformation(token.Get(), TokenUser);
  if (!user.empty() && EqualSid(owner, reinterpret_cast<const TOKEN_USER*>(user.data())->User.Sid)) return true;
  const std::vector<BYTE> defaultOwner = TokenInformation(token.Get(), TokenOwner);
  return !defaultOwner.empty() && EqualSid(owner, reinterpret_cast<const TOKEN_OWNER*>(defaultOwner.data())->Owner);
}

}  // namespace kq
