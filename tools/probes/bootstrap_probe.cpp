// bootstrap_probe.exe [--window] -- <setup arguments>
// Runs the Windows Installer bootstrap the way the run sequence does, from
// the folder the probe was copied to (its SETUP.INI, maybe INSNTMSI.EXE):
// IsPlatformQualified, then InstallWindowsInstaller, then the wait for the
// started redistributable. Message boxes are recorded, not shown:
//   box caption=<..> style=0x<..> text=<.. with \n for line feeds>
// With --window the engine's owner is a window of the probe's own with a
// hidden progress bar, control 1001 (msctls_progress32), on a thread of its
// own as the dialog would be; the bar's changes are printed in order:
//   bar show=<0|1> / bar pos=<n>, then "bar final visible=<0|1> pos=<n>".
// Prints "installed exit=<code>" after the wait, "ended=0x%08X" when the run
// was ended; the exit code is the ended code or 0.
#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "sys/setup_exit_code.h"
#include "config/setup_command_line.h"
#include "steps/setup_engine.h"
#include "probe_arguments.h"
#include "steps/step_message_box.h"
#include "sys/child_process.h"
#include "sys/scoped_handle.h"

namespace {

constexpr UINT kFlushMessage = WM_APP + 1;

std::vector<std::string> barEvents;  // touched only by the window thread until it is flushed
HWND owner = nullptr;
HWND bar = nullptr;
WNDPROC barProcedure = nullptr;
HANDLE ready = nullptr;
HANDLE flushed = nullptr;

int RecordingBox(HWND, const char* text, const char* caption, UINT style) {
  std::string flat;
  for (const char* p = text; *p != '\0'; ++p) flat += *p == '\n' ? std::string("\\n") : std::string(1, *p);
  std::printf("box caption=%s style=0x%X text=%s\n", caption, style, flat.c_str());
  std::fflush(stdout);
  return IDOK;
}

LRESULT CALLBACK BarProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == PBM_SETPOS) barEvents.push_back("bar pos=" + std::to_string(wParam));
  if (message == WM_SHOWWINDOW) barEvents.push_back(std::string("bar show=") + (wParam ? "1" : "0"));
  return CallWindowProcA(barProcedure, window, message, wParam, lParam);
}

LRESULT CALLBACK OwnerProcedure(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == kFlushMessage) {
    SetEvent(flushed);
    return 0;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

DWORD WINAPI WindowThread(void*) {
  INITCOMMONCONTROLSEX controls = {sizeof controls, ICC_PROGRESS_CLASS};
  InitCommonControlsEx(&controls);
  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = OwnerProcedure;
  windowClass.hInstance = GetModuleHandleA(nullptr);
  windowClass.lpszClassName = "KqBootstrapProbe";
  RegisterClassA(&windowClass);
  owner = CreateWindowExA(0, "KqBootstrapProbe", "Setup", WS_OVERLAPPEDWINDOW | WS_VISIBLE, 0, 0, 300, 120, nullptr,
                          nullptr, windowClass.hInstance, nullptr);
  if (owner != nullptr) {
    bar = CreateWindowExA(0, PROGRESS_CLASSA, "", WS_CHILD, 10, 40, 260, 16, owner,
                          reinterpret_cast<HMENU>(static_cast<INT_PTR>(1001)), windowClass.hInstance, nullptr);
    barProcedure = reinterpret_cast<WNDPROC>(
        SetWindowLongPtrA(bar, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&BarProcedure)));
  }
  SetEvent(ready);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  return 0;
}

void PrintBar() {
  // Posted messages arrive in order: once the flush message is handled,
  // every position the download posted has been handled too.
  PostMessageA(owner, kFlushMessage, 0, 0);
  WaitForSingleObject(flushed, 10000);
  for (const std::string& event : barEvents) std::printf("%s\n", event.c_str());
  const bool visible = (GetWindowLongA(bar, GWL_STYLE) & WS_VISIBLE) != 0;
  std::printf("bar final visible=%d pos=%d\n", visible ? 1 : 0, static_cast<int>(SendMessageA(bar, PBM_GETPOS, 0, 0)));
}

}  // namespace

int main(int argc, char** argv) {
  bool withWindow = false;
  for (int i = 1; i < argc && std::strcmp(argv[i], "--") != 0; ++i) {
    if (std::strcmp(argv[i], "--window") == 0) withWindow = true;
  }
  const std::string arguments = kq::SplitProbeArguments(argc, argv).setupArguments;
  kq::SetStepMessageBox(&RecordingBox);

  if (withWindow) {
    ready = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    flushed = CreateEventA(nullptr, FALSE, FALSE, nullptr);
    CloseHandle(CreateThread(nullptr, 0, &WindowThread, nullptr, 0, nullptr));
    WaitForSingleObject(ready, 10000);
    std::printf("window=%d\n", owner != nullptr && bar != nullptr ? 1 : 0);
  }

  kq::ScopedHandle endSession(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const uint32_t code = kq::CatchSetupExitCode([&] {
    kq::SetupEngine engine(owner, endSession.Get());
    kq::SetupCommandLine commandLine;
    if (!commandLine.Parse(engine.GetSetupFolder().c_str(), arguments.c_str())) std::printf("parse=0\n");
    engine.SetCommandLine(&commandLine);
    std::printf("platform=%d\n", engine.IsPlatformQualified());
    engine.InstallWindowsInstaller();
    uint32_t exitCode = 0xFFFFFFFFu;
    kq::WaitForChildOrReboot(engine.CurrentChildProcess(), endSession.Get(), false, &exitCode);
    std::printf("installed exit=%u\n", static_cast<unsigned>(exitCode));
    kq::RaiseSetupExitCode(0);
  });
  if (withWindow && owner != nullptr) PrintBar();
  if (code != 0) std::printf("ended=0x%08X\n", static_cast<unsigned>(code));
  std::fflush(stdout);
  return static_cast<int>(code);
}
