#include "sys/install_privileges.h"

#include <vector>

#include "sys/scoped_handle.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

// S-1-5-32-544, BUILTIN\Administrators.
bool IsAdministratorsSid(PSID sid) {
  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  if (!AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0, 0,
                                &administrators))
    return false;
  const bool equal = EqualSid(sid, administrators) != FALSE;
  FreeSid(administrators);
  return equal;
}

}  // namespace

bool TokenIsAdministrator(HANDLE token) {
  DWORD size = 0;
  GetTokenInformation(token, TokenGroups, nullptr, 0, &size);
  if (size < sizeof(TOKEN_GROUPS)) return false;
  // DWORD-aligned storage for the TOKEN_GROUPS and the SIDs after it.
  std::vector<DWORD> buffer((size + sizeof(DWORD) - 1) / sizeof(DWORD));
  if (!GetTokenInformation(token, TokenGroups, buffer.data(), size, &size)) return false;
  const TOKEN_GROUPS* groups = reinterpret_cast<const TOKEN_GROUPS*>(buffer.data());
  for (DWORD i = 0; i < groups->GroupCount; ++i) {
    const DWORD attributes = groups->Groups[i].Attributes;
    if ((attributes & SE_GROUP_ENABLED) == 0 || (attributes & SE_GROUP_USE_FOR_DENY_ONLY) != 0) continue;
    if (IsAdministratorsSid(groups->Groups[i].Sid)) return true;
  }
  return false;
}

bool MayInstallEngine() {
  if (!IsWindowsNT()) return true;
  HANDLE opened = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &opened)) {
    SetupLogF("OpenProcessToken() failed, Error code = 0x%08X; the Windows Installer's redistributable decides "
              "whether this user may install it",
              static_cast<unsigned>(GetLastError()));
    return true;
  }
  const ScopedHandle token(opened);
  return TokenIsAdministrator(token.Get());
}

}  // namespace kq
