// The reboot thread with ExitWindowsEx replaced (a real restart would end the
// test prefix's session): the request, the shutdown privilege on the NT
// family only, and the log lines also when the request fails.
#include "sys/reboot_thread.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

#include "sys/test_support.h"

namespace kq {
namespace {

const bool kLogOn = (test::EnableSetupLog(), true);

bool ExpectNtFamily() {
  const char* version = std::getenv("KQ_WINE_VERSION");
  return version == nullptr || std::string(version) != "win98";
}

bool ShutdownPrivilegeEnabled() {
  HANDLE token = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_QUERY, &token)) return false;
  LUID shutdown = {};
  LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &shutdown);
  PRIVILEGE_SET set = {};
  set.PrivilegeCount = 1;
  set.Control = PRIVILEGE_SET_ALL_NECESSARY;
  set.Privilege[0].Luid = shutdown;
  BOOL enabled = FALSE;
  PrivilegeCheck(token, &set, &enabled);
  CloseHandle(token);
  return enabled != FALSE;
}

UINT g_flags = 0;
int g_calls = 0;
bool g_privilegeAtRequest = false;

BOOL WINAPI RecordingExitWindows(UINT flags, DWORD) {
  ++g_calls;
  g_flags = flags;
  g_privilegeAtRequest = ShutdownPrivilegeEnabled();
  return TRUE;
}

BOOL WINAPI FailingExitWindows(UINT flags, DWORD) {
  ++g_calls;
  g_flags = flags;
  SetLastError(ERROR_PRIVILEGE_NOT_HELD);
  return FALSE;
}

// One process-wide reboot thread at a time: each case starts it and waits
// for it, as the application does before it exits.
void RunRebootThread() {
  StartRebootThread();
  WaitForRebootThread(10000);
}

TEST(RebootThread, AsksForARestartWithThePrivilegeOnTheNtFamilyOnly) {
  ASSERT_TRUE(kLogOn);
  ASSERT_FALSE(ShutdownPrivilegeEnabled()) << "the privilege starts disabled";
  WaitForRebootThread(10000);  // never started: returns at once
  g_calls = 0;
  ReplaceExitWindowsForTesting(RecordingExitWindows);
  test::LogCapture log;
  RunRebootThread();
  ReplaceExitWindowsForTesting(nullptr);
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(g_flags, static_cast<UINT>(EWX_REBOOT));
  EXPECT_EQ(g_privilegeAtRequest, ExpectNtFamily());
  EXPECT_EQ(log.Lines(), "Initiating Reboot...\nReboot initiated.\n");
}

TEST(RebootThread, AFailedRequestIsLoggedBeforeRebootInitiated) {
  g_calls = 0;
  ReplaceExitWindowsForTesting(FailingExitWindows);
  test::LogCapture log;
  RunRebootThread();
  ReplaceExitWindowsForTesting(nullptr);
  EXPECT_EQ(g_calls, 1);
  EXPECT_EQ(log.Lines(), "Initiating Reboot...\nExitWindowsEx() failed with error code: 1314\nReboot initiated.\n");
}

}  // namespace
}  // namespace kq
