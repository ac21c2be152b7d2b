#include "sys/setup_log.h"

#include <windows.h>

#include <cstdarg>

#include "sys/format.h"
#include "sys/lock.h"
#include "sys/log_switch.h"
#include "sys/scoped_handle.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

// Serializes the writers of this process, so that whole lines land one after
// another; appends from other processes are kept whole by the append-only
// access right on the NT family.
CriticalSection& LogLock() {
  static CriticalSection lock;
  return lock;
}

bool DecideFromEnvironment() {
  const DWORD needed = GetEnvironmentVariableA("KQSETUP", nullptr, 0);
  if (needed == 0) return false;  // absent (or empty: nothing to match)
  std::string value(needed, '\0');
  const DWORD length = GetEnvironmentVariableA("KQSETUP", &value[0], needed);
  if (length == 0 || length >= needed) return false;
  value.resize(length);
  return LogSwitchRequested(value.c_str());
}

// The local time, then this process's id: setups that append to one file
// at the same time (a nested setup and its parent, a second start, a run
// the resume shortcut started) are told apart line by line. The text after
// " - " is the caller's alone.
std::string LinePrefix() {
  SYSTEMTIME now;
  GetLocalTime(&now);
  return Format("%02u/%02u/%02u %02u:%02u:%02u [%u] - ", now.wMonth, now.wDay, now.wYear % 100u,
                now.wHour, now.wMinute, now.wSecond, static_cast<unsigned>(GetCurrentProcessId()));
}

ScopedFile OpenForAppending(const std::string& path) {
  if (path.empty()) return ScopedFile();
  const DWORD access = IsWindowsNT() ? (FILE_APPEND_DATA | SYNCHRONIZE) : GENERIC_WRITE;
  return OpenFileByName(path, access, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL);
}

void AppendLine(const ScopedFile& file, const std::string& line) {
  SetFilePointer(file.Get(), 0, nullptr, FILE_END);
  DWORD written = 0;
  WriteFile(file.Get(), line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
}

// Where this process writes its lines: C:\SETUP.LOG until it cannot be
// opened (a standard user may not create files in C:\ on Vista and later),
// then SETUP.LOG in the user's temporary-files folder for the rest of the
// process. An empty path drops the lines.
struct LogDestination {
  std::string path = kSetupLogPath;
  bool choosing = false;
  bool started = false;  // the process's first line, which names it, is written
};

LogDestination& Destination() {
  static LogDestination destination;
  return destination;
}

// Called with the lock held, after C:\SETUP.LOG failed to open. Finding the
// temporary-files folder may log a line itself; that line is dropped.
ScopedFile SwitchToTempFolder(LogDestination& destination) {
  const DWORD error = GetLastError();
  destination.choosing = true;
  const std::string temp = TempFolderPath();
  destination.choosing = false;
  destination.path = temp.empty() ? std::string() : temp + kSetupLogFileName;
  ScopedFile file = OpenForAppending(destination.path);
  if (file) {
    AppendLine(file, LinePrefix() +
                         Format("%s cannot be written (error %u); logging here", kSetupLogPath,
                                static_cast<unsigned>(error)) +
                         "\r\n");
  }
  return file;
}

}  // namespace

bool IsSetupLogEnabled() {
  // Function-local statics are initialized once even when two threads make
  // their first call together.
  static const bool enabled = DecideFromEnvironment();
  return enabled;
}

void SetupLog(const char* text) {
  if (text == nullptr || !IsSetupLogEnabled()) return;
  const std::string prefix = LinePrefix();
  std::string line = prefix + text + "\r\n";
  if (line.size() > MAXDWORD) return;

  AutoLock hold(LogLock());
  LogDestination& destination = Destination();
  if (destination.choosing) return;  // a line logged while the fallback is looked up
  ScopedFile file = OpenForAppending(destination.path);
  if (!file && destination.path == kSetupLogPath) {
    file = SwitchToTempFolder(destination);
  }
  if (!file) return;
  // A run's first line says where its lines begin, in the same write as
  // the line that follows it.
  if (!destination.started) {
    line.insert(0, prefix + Format("Setup process %u started", static_cast<unsigned>(GetCurrentProcessId())) +
                       "\r\n");
    destination.started = true;
  }
  AppendLine(file, line);
}

void SetupLogF(const char* format, ...) {
  if (format == nullptr || !IsSetupLogEnabled()) return;
  va_list args;
  va_start(args, format);
  const std::string text = FormatV(format, args);
  va_end(args);
  SetupLog(text.c_str());
}

}  // namespace kq
