#include "sys/instance_mutex.h"

#include "sys/setup_log.h"
#include "text/ascii_text.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

// The mutex, created owned; when another setup holds it, a handle of it not
// owned, with `existed` set. Invalid as for CreateInstanceMutex.
ScopedHandle CreateOrOpen(const std::string& dataFileName, bool& existed) {
  existed = false;
  if (dataFileName.empty()) return ScopedHandle();
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) return ScopedHandle();
  // Terminal services sessions share one mutex from Windows 2000 on.
  const bool global = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
  ScopedHandle mutex(CreateMutexA(nullptr, TRUE, InstanceMutexName(dataFileName, global).c_str()));
  existed = mutex && GetLastError() == ERROR_ALREADY_EXISTS;
  return mutex;
}

}  // namespace

std::string InstanceMutexName(const std::string& dataFileName, bool global) {
  // Kernel object names are case-sensitive and file names are not: one data
  // file is one setup however its name is spelled.
  return std::string(global ? "Global\\" : "") + "SETUP " + ReplaceBackslashes(UpperCaseAscii(dataFileName), '_');
}

ScopedHandle CreateInstanceMutex(const std::string& dataFileName) {
  bool existed = false;
  ScopedHandle mutex = CreateOrOpen(dataFileName, existed);
  return existed ? ScopedHandle() : std::move(mutex);
}

ScopedHandle WaitForInstanceMutex(const std::string& dataFileName, HANDLE stopEvent, DWORD timeoutMs, bool& waited) {
  ScopedHandle mutex = CreateOrOpen(dataFileName, waited);
  if (!waited) return mutex;
  SetupLogF("Waiting for the other setup of %s to finish (at most %u seconds)", dataFileName.c_str(),
            static_cast<unsigned>(timeoutMs / 1000));
  const HANDLE handles[] = {mutex.Get(), stopEvent};
  const DWORD result = WaitForMultipleObjects(stopEvent != nullptr ? 2 : 1, handles, FALSE, timeoutMs);
  switch (result) {
    case WAIT_OBJECT_0:
      SetupLog("The other setup has finished; this one goes on");
      return mutex;
    case WAIT_ABANDONED_0:
      SetupLog("The other setup ended without releasing the instance mutex; this one goes on");
      return mutex;
    case WAIT_OBJECT_0 + 1:
      SetupLog("The session is ending: the wait for the other setup ends");
      break;
    case WAIT_TIMEOUT:
      SetupLogF("The other setup was still running after %u seconds: the wait ends",
                static_cast<unsigned>(timeoutMs / 1000));
      break;
    default:
      SetupLogF("Failed to wait for the other setup, Error code = 0x%08X", static_cast<unsigned>(GetLastError()));
      break;
  }
  return ScopedHandle();
}

}  // namespace kq
