#include "sys/reboot_thread.h"

#include "sys/scoped_handle.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

ExitWindowsFunction g_exitWindows = nullptr;

// Written by the worker thread before it posts its result, read by the
// dialog's thread after that message: the message orders the two, and the
// interlocked exchange keeps the handle itself whole.
HANDLE volatile g_rebootThread = nullptr;

// Counts as enabled when the system reports no error afterwards; the outcome
// is not used further: ExitWindowsEx reports what matters.
bool EnableShutdownPrivilege() {
  HANDLE rawToken = nullptr;
  if (!OpenProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &rawToken)) return false;
  ScopedHandle token(rawToken);
  TOKEN_PRIVILEGES privileges = {};
  if (!LookupPrivilegeValueA(nullptr, "SeShutdownPrivilege", &privileges.Privileges[0].Luid)) return false;
  privileges.PrivilegeCount = 1;
  privileges.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
  AdjustTokenPrivileges(token.Get(), FALSE, &privileges, 0, nullptr, nullptr);
  return GetLastError() == ERROR_SUCCESS;
}

}  // namespace

DWORD WINAPI RebootThread(LPVOID) {
  if (IsWindowsNT()) EnableShutdownPrivilege();
  SetupLog("Initiating Reboot...");
  const ExitWindowsFunction exitWindows = g_exitWindows != nullptr ? g_exitWindows : ExitWindowsEx;
  if (!exitWindows(EWX_REBOOT, 0))
    SetupLogF("ExitWindowsEx() failed with error code: %d", static_cast<int>(GetLastError()));
  SetupLog("Reboot initiated.");
  return 0;
}

void StartRebootThread() {
  if (g_rebootThread != nullptr) return;
  DWORD id = 0;
  HANDLE thread = CreateThread(nullptr, 0, RebootThread, nullptr, 0, &id);
  if (thread == nullptr) {
    SetupLogF("Failed to start the reboot thread. Error code = 0x%08X", static_cast<unsigned>(GetLastError()));
    return;
  }
  InterlockedExchangePointer(const_cast<HANDLE*>(&g_rebootThread), thread);
}

void WaitForRebootThread(DWORD timeoutMs) {
  ScopedHandle thread(InterlockedExchangePointer(const_cast<HANDLE*>(&g_rebootThread), nullptr));
  if (thread) WaitForSingleObject(thread.Get(), timeoutMs);
}

void ReplaceExitWindowsForTesting(ExitWindowsFunction function) { g_exitWindows = function; }

}  // namespace kq
