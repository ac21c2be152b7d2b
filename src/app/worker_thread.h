#pragma once
// The run sequence: the body of the setup program, on a thread of its own.
#include <windows.h>

namespace kq {

// Thread procedure; the parameter is the SetupDialog. Returns the run's
// SetupExitCode, which the dialog receives through WM_ENDSETUPDIALOG.
DWORD WINAPI WorkerThread(void* dialog);

}  // namespace kq
