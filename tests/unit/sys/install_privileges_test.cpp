// The administrator check before the Windows Installer engine is installed:
// the test process under Wine is an administrator; the same token with the
// Administrators group kept only for denying (as a restricted token, or
// the filtered token of an administrator that has not elevated, holds it)
// is not.
#include "sys/install_privileges.h"

#include <gtest/gtest.h>

#include "sys/scoped_handle.h"

namespace kq {
namespace {

TEST(InstallPrivileges, AnEnabledAdministratorsGroupOnlyCounts) {
  HANDLE opened = nullptr;
  ASSERT_TRUE(OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY | TOKEN_DUPLICATE | TOKEN_ASSIGN_PRIMARY, &opened));
  const ScopedHandle token(opened);
  EXPECT_TRUE(TokenIsAdministrator(token.Get()));
  EXPECT_TRUE(MayInstallEngine());

  SID_IDENTIFIER_AUTHORITY nt = SECURITY_NT_AUTHORITY;
  PSID administrators = nullptr;
  ASSERT_TRUE(AllocateAndInitializeSid(&nt, 2, SECURITY_BUILTIN_DOMAIN_RID, DOMAIN_ALIAS_RID_ADMINS, 0, 0, 0, 0, 0,
                                       0, &administrators));
  SID_AND_ATTRIBUTES denyOnly = {administrators, 0};
  HANDLE restricted = nullptr;
  const BOOL made = CreateRestrictedToken(token.Get(), 0, 1, &denyOnly, 0, nullptr, 0, nullptr, &restricted);
  FreeSid(administrators);
  ASSERT_TRUE(made);
  const ScopedHandle restrictedToken(restricted);
  EXPECT_FALSE(TokenIsAdministrator(restrictedToken.Get()));

  EXPECT_FALSE(TokenIsAdministrator(nullptr)) << "a token whose groups cannot be read is no administrator's";
}

}  // namespace
}  // namespace kq
