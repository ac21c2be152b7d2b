#include "sys/child_process.h"

#include "sys/session_end.h"
#include "sys/setup_exit_code.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

constexpr DWORD kFiveSecondsMs = 5000;

void LogRebootDetectedAtOnce(DWORD waitResult) {
  SetupLogF("Reboot detected immediatedly. WaitResult = %08X", static_cast<unsigned>(waitResult));
}

}  // namespace

bool IsRebootExitCode(uint32_t exitCode) {
  return exitCode == kExitRebootInitiated || exitCode == kExitRebootRequired ||
         exitCode == kExitIntermediateReboot;
}

bool StartChildProcess(const std::string& commandLine, CommandLineLogging logging, ScopedHandle& process) {
  // Nothing new starts while the session ends.
  StopIfSessionEnding();
  if (logging == CommandLineLogging::Log) SetupLogF("Command Line = %s", commandLine.c_str());
  return CreateProcessFromCommandLine(commandLine, process);
}

bool WaitForChildOrReboot(HANDLE process, HANDLE endSessionEvent, bool waitFiveSeconds, uint32_t* exitCode) {
  if (process != nullptr) {
    // One wait on both: whichever comes first, the child's end or the end of
    // the session. Without an event only the child can end the wait.
    const HANDLE objects[2] = {process, endSessionEvent};
    const DWORD count = endSessionEvent != nullptr ? 2 : 1;
    const DWORD waitResult = WaitForMultipleObjects(count, objects, FALSE, INFINITE);
    if (waitResult == WAIT_OBJECT_0) {
      DWORD code = 0;
      if (GetExitCodeProcess(process, &code)) {
        SetupLogF("Process completed with exit code: %08X", static_cast<unsigned>(code));
        if (exitCode != nullptr) *exitCode = code;
        if (IsRebootExitCode(code)) {
          LogRebootDetectedAtOnce(waitResult);
          return true;
        }
        if (code != 0 && exitCode == nullptr) RaiseSetupExitCode(code);
      }
    } else if (waitResult == WAIT_OBJECT_0 + 1) {
      // The session is ending: the child's exit code is not read.
      LogRebootDetectedAtOnce(waitResult);
      return true;
    }
    // Any other result (a failed wait) counts as the child having ended
    // without a reboot.
  }
  if (waitFiveSeconds) {
    SetupLog("Waiting five seconds for reboot!");
    const DWORD waitResult =
        endSessionEvent != nullptr ? WaitForSingleObject(endSessionEvent, kFiveSecondsMs) : WAIT_FAILED;
    if (waitResult == WAIT_OBJECT_0 || waitResult == WAIT_ABANDONED) {
      SetupLogF("Reboot detected! WaitResult = %08X", static_cast<unsigned>(waitResult));
      return true;
    }
  }
  SetupLog("No reboot detected, continuing...");
  return false;
}

}  // namespace kq
