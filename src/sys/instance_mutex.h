#pragma once
// The instance mutex: one named mutex per setup data file name keeps two runs
// of the same setup apart (machine-wide from Windows 2000 on).
#include <windows.h>

#include <string>

#include "sys/scoped_handle.h"

namespace kq {

// How long a resume waits for another setup to release the mutex: at a
// logon several pending resumes whose data files share a name start at
// once, and nothing at a logon starts the one that gave up again.
constexpr DWORD kInstanceMutexWaitMs = 10 * 60 * 1000;

// "SETUP <name>" with every backslash of the name replaced by an underscore,
// with "Global\" in front when `global`.
std::string InstanceMutexName(const std::string& dataFileName, bool global);

// Creates the mutex, initially owned. Invalid when the name is empty, the
// Windows version cannot be read, the mutex cannot be created, or it existed
// already (another instance holds it). The caller releases it (ReleaseMutex)
// before the handle closes.
ScopedHandle CreateInstanceMutex(const std::string& dataFileName);

// As CreateInstanceMutex, but a mutex another setup holds is waited for, at
// most `timeoutMs` and only until `stopEvent` (the end of the session; may
// be null) is set. A mutex its holder left without releasing it (the
// process ended) is taken as well. `waited` tells whether another setup
// held it. The wait and its outcome are logged.
ScopedHandle WaitForInstanceMutex(const std::string& dataFileName, HANDLE stopEvent, DWORD timeoutMs, bool& waited);

}  // namespace kq
