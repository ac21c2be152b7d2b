// Closing running programs, recognised by the class of their main window,
// before their files are replaced.
#include "sys/internal_error.h"
#include "sys/setup_exit_code.h"
#include "config/setup_command_line.h"
#include "steps/setup_engine.h"
#include "steps/software_entries.h"
#include "steps/software_messages.h"
#include "sys/messages.h"
#include "sys/setup_log.h"

namespace kq {

namespace {

// How long one message may take: a program that does not answer in this
// time counts as still running instead of holding the setup up for good.
constexpr UINT kSendTimeoutMs = 5000;
constexpr int kPollRounds = 10;

// False when the window did not answer within the time-out (or is gone).
bool SendBounded(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  DWORD_PTR result = 0;
  return SendMessageTimeoutA(window, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG, kSendTimeoutMs,
                             &result) != 0;
}

}  // namespace

void SetupEngine::ShutDownApplications() {
  SetupLog("Shutting down applications");
  const SetupCommandLine& attached = RequireCommandLine(kLocationShutdown);
  const StringList& entries = attached.GetSetupDataFile().GetShutdownApplication();
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string entry = entries[i];
    if (CloseApplication(entry)) continue;
    SetupLogF("A program of the window class in \"%s\" is still running", entry.c_str());
    if (IsSilentUiLevel(attached.GetUiLevel())) {
      LogSoftwareMessage(kMsgApplicationRunning, kMsgWarning);
      RaiseSetupExitCode(kExitFailure);
    }
    do {
      if (ShowSoftwareMessage(ownerWindow, kMsgApplicationRunning, kMsgWarning, MB_YESNO | MB_ICONWARNING) != IDYES)
        RaiseSetupExitCode(kExitUserExit);
    } while (!CloseApplication(entry));
  }
}

bool SetupEngine::CloseApplication(const std::string& entry) {
  ShutdownEntry shutdown;
  if (!ReadShutdownEntry(entry, shutdown)) return false;
  if (!IsWindowClassPresent(shutdown.windowClass.c_str())) return true;
  return CloseWindowByClass(shutdown.windowClass.c_str(), shutdown.waitMs, shutdown.message, shutdown.wParam,
                            shutdown.lParam);
}

bool SetupEngine::IsWindowClassPresent(const char* windowClass) {
  if (windowClass == nullptr || *windowClass == '\0') return false;
  return FindWindowExA(nullptr, nullptr, windowClass, nullptr) != nullptr;
}

bool SetupEngine::CloseWindowByClass(const char* windowClass, int waitMs, int message, int wParam, int lParam) {
  const HWND window = FindWindowExA(nullptr, nullptr, windowClass, nullptr);
  if (window == nullptr) return true;
  const WPARAM w = static_cast<WPARAM>(static_cast<uint32_t>(wParam));
  const LPARAM l = static_cast<LPARAM>(lParam);
  if (message != 0) {
    SendBounded(window, static_cast<UINT>(message), w, l);
  } else if (wParam != 0) {
    SendBounded(window, WM_COMMAND, w, l);
  } else if (SendBounded(window, WM_CLOSE, 0, 0)) {
    // A window that did not even answer WM_CLOSE is not asked again.
    SendBounded(window, WM_QUIT, 0, 0);
  }
  const DWORD interval = ShutdownPollInterval(waitMs);
  for (int round = 0; round < kPollRounds; ++round) {
    if (!IsWindowClassPresent(windowClass)) return true;
    Sleep(interval);
  }
  return !IsWindowClassPresent(windowClass);
}

}  // namespace kq
