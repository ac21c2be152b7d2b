#include "sys/process_identity.h"

#include <windows.h>

#include "sys/scoped_handle.h"

namespace kq {

namespace {

// GetProcessTimes exists on the NT family only.
bool CreationTime(HANDLE process, uint64_t& started) {
  FILETIME creation;
  FILETIME exit;
  FILETIME kernel;
  FILETIME user;
  if (!GetProcessTimes(process, &creation, &exit, &kernel, &user)) return false;
  started = static_cast<uint64_t>(creation.dwHighDateTime) << 32 | creation.dwLowDateTime;
  return true;
}

}  // namespace

ProcessIdentity CurrentProcessIdentity() {
  ProcessIdentity identity;
  identity.id = GetCurrentProcessId();
  if (!CreationTime(GetCurrentProcess(), identity.started)) identity.started = 0;
  return identity;
}

bool IsProcessRunning(const ProcessIdentity& process) {
  if (process.id == 0) return false;
  ScopedHandle handle(OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, process.id));
  if (!handle) return GetLastError() == ERROR_ACCESS_DENIED;
  DWORD code = 0;
  if (GetExitCodeProcess(handle.Get(), &code) && code != STILL_ACTIVE) return false;
  uint64_t started = 0;
  // Another process with the same identifier is not the one recorded.
  if (process.started != 0 && CreationTime(handle.Get(), started)) return started == process.started;
  return true;
}

}  // namespace kq
