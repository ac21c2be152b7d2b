#pragma once
// The reboot thread: enables the shutdown privilege (NT family only) and
// asks Windows to restart. Started at most once, just before a run ends with
// a reboot code; the application waits for it before the process exits, so
// that the restart request is made before the process is gone.
#include <windows.h>

namespace kq {

// Starts RebootThread and keeps its handle process-wide. A second call while
// a reboot thread exists starts nothing.
void StartRebootThread();

// Waits up to `timeoutMs` for the reboot thread; returns at once when none
// was started.
void WaitForRebootThread(DWORD timeoutMs);

// The thread procedure (parameter unused): "Initiating Reboot...", the
// restart request, "Reboot initiated."; returns 0.
DWORD WINAPI RebootThread(LPVOID parameter);

// Test seam: replaces ExitWindowsEx (null restores it), so that a test can
// watch the request, or make it fail, without ending the session.
using ExitWindowsFunction = BOOL(WINAPI*)(UINT flags, DWORD reason);
void ReplaceExitWindowsForTesting(ExitWindowsFunction function);

}  // namespace kq
