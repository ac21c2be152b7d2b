#pragma once
// The instance mutex: one named mutex per setup data file name keeps two runs
// of the same setup apart (machine-wide from Windows 2000 on).
#include <string>

#include "sys/scoped_handle.h"

namespace kq {

// "SETUP <name>" with every backslash of the name replaced by an underscore,
// with "Global\" in front when `global`.
std::string InstanceMutexName(const std::string& dataFileName, bool global);

// Creates the mutex, initially owned. Invalid when the name is empty, the
// Windows version cannot be read, the mutex cannot be created, or it existed
// already (another instance holds it). The caller releases it (ReleaseMutex)
// before the handle closes.
ScopedHandle CreateInstanceMutex(const std::string& dataFileName);

}  // namespace kq
