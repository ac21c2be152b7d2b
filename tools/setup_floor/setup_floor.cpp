// setup_floor.exe: the floor that bench.setup measures SETUP.EXE against.
// It does the least that a plain first installation through SETUP.EXE
// must do and nothing else: it shows SETUP.EXE's own progress dialog (the
// same template, icon and manifest), loads MSI.DLL on a worker thread
// started when the dialog is shown, starts the child program named by its
// command line and waits for it, and pauses 200 ms before the dialog ends.
// No setup data, no checks, no temporary copy, no log, no shortcut.
//
//   setup_floor.exe <command line of the child>
#include <windows.h>
#include <commctrl.h>

#include <string>

#include "app/resource_ids.h"
#include "sys/scoped_handle.h"

namespace {

constexpr UINT kEndMessage = WM_USER + 1;
constexpr DWORD kEndPauseMs = 200;

struct Floor {
  std::string childCommandLine;
  HWND window = nullptr;
  kq::ScopedHandle worker;
  DWORD childExitCode = 0;
};

DWORD WINAPI Worker(void* parameter) {
  auto* floor = static_cast<Floor*>(parameter);
  kq::ScopedLibrary msi(LoadLibraryA("MSI.DLL"));
  std::string commandLine = floor->childCommandLine;
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION started = {};
  DWORD code = 0xFFFFFFFF;
  if (msi && CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                            &started)) {
    kq::ScopedHandle process(started.hProcess);
    kq::ScopedHandle thread(started.hThread);
    WaitForSingleObject(process.Get(), INFINITE);
    GetExitCodeProcess(process.Get(), &code);
  }
  PostMessageA(floor->window, kEndMessage, 0, static_cast<LPARAM>(code));
  return 0;
}

INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM, LPARAM lParam) {
  if (message == WM_INITDIALOG) SetWindowLongPtrA(window, DWLP_USER, lParam);
  auto* floor = reinterpret_cast<Floor*>(GetWindowLongPtrA(window, DWLP_USER));
  switch (message) {
    case WM_INITDIALOG:
      floor->window = window;
      return TRUE;
    case WM_SHOWWINDOW:
      if (!floor->worker) floor->worker.Reset(CreateThread(nullptr, 0, Worker, floor, 0, nullptr));
      return FALSE;
    case kEndMessage:
      Sleep(kEndPauseMs);
      floor->childExitCode = static_cast<DWORD>(lParam);
      EndDialog(window, 0);
      return TRUE;
    case WM_CLOSE:
      return TRUE;
    default:
      return FALSE;
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR commandLine, int) {
  InitCommonControls();
  Floor floor;
  floor.childCommandLine = commandLine;
  if (DialogBoxParamA(instance, MAKEINTRESOURCEA(IDD_SETUP_DIALOG), nullptr, DialogProc,
                      reinterpret_cast<LPARAM>(&floor)) == -1) {
    return 1;
  }
  WaitForSingleObject(floor.worker.Get(), INFINITE);
  return static_cast<int>(floor.childExitCode);
}
