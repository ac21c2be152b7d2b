#include "sys/instance_mutex.h"

#include "text/ascii_text.h"
#include "text/mbcs_path.h"

namespace kq {

std::string InstanceMutexName(const std::string& dataFileName, bool global) {
  // Kernel object names are case-sensitive and file names are not: one data
  // file is one setup however its name is spelled.
  return std::string(global ? "Global\\" : "") + "SETUP " + ReplaceBackslashes(UpperCaseAscii(dataFileName), '_');
}

ScopedHandle CreateInstanceMutex(const std::string& dataFileName) {
  if (dataFileName.empty()) return ScopedHandle();
  OSVERSIONINFOA version = {};
  version.dwOSVersionInfoSize = sizeof version;
  if (!GetVersionExA(&version)) return ScopedHandle();
  // Terminal services sessions share one mutex from Windows 2000 on.
  const bool global = version.dwPlatformId == VER_PLATFORM_WIN32_NT && version.dwMajorVersion >= 5;
  ScopedHandle mutex(CreateMutexA(nullptr, TRUE, InstanceMutexName(dataFileName, global).c_str()));
  if (!mutex || GetLastError() == ERROR_ALREADY_EXISTS) return ScopedHandle();
  return mutex;
}

}  // namespace kq
