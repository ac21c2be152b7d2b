// The Windows side of the run platform.
#include <windows.h>

#include "sys/run_platform.h"
#include "sys/session_end.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

// Read for its switches only (the quiet rule).
std::string ProcessCommandLine() { return GetProgramSwitchText(); }

uint32_t UserLocale() { return static_cast<uint32_t>(GetUserDefaultLCID()); }

void Log(const char* line) { SetupLog(line); }

void ShowErrorBox(WindowHandle owner, const char* caption, const char* text) {
  // Nobody answers a box at the end of the session.
  if (IsSessionEnding()) return;
  MessageBoxA(static_cast<HWND>(owner), text, caption, MB_ICONERROR);
}

}  // namespace

const RunPlatform& SystemRunPlatform() {
  static const RunPlatform platform = {ProcessCommandLine, UserLocale, Log, ShowErrorBox};
  return platform;
}

}  // namespace kq
