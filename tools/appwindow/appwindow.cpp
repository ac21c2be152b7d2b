// appwindow.exe <class> <close|refuse|hang> <record-file> [lifetime-ms]
// A stand-in for a running application that setup must close: one top-level
// window of the given class, answering the way the mode says:
//   close   closes on WM_CLOSE and on WM_COMMAND 57665 (an application's
//           Exit command);
//   refuse  ignores both (a program with unsaved work that says no);
//   hang    stops taking messages at all once the window exists.
// Appends "pid=<process id>" and "ready" once the window exists, one line
// per message of interest received ("msg=<id> wparam=<w> lparam=<l>"), and
// "exit" when it ends.
// Ends when a file "<record-file>.quit" appears (close and refuse modes: a
// test lets the program go at the moment it chooses), and by itself after
// lifetime-ms (default 60000) in every mode.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

enum class Mode { kClose, kRefuse, kHang };

Mode g_mode = Mode::kClose;
std::string g_record;
constexpr UINT_PTR kLifetimeTimer = 1;
constexpr UINT_PTR kQuitFileTimer = 2;
constexpr WPARAM kExitCommand = 57665;

void Record(const std::string& line) {
  FILE* file = std::fopen(g_record.c_str(), "ab");
  if (file == nullptr) return;
  std::fprintf(file, "%s\r\n", line.c_str());
  std::fclose(file);
}

void RecordMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  char line[96];
  std::snprintf(line, sizeof line, "msg=%u wparam=%lu lparam=%ld", message, static_cast<unsigned long>(wParam),
                static_cast<long>(lParam));
  Record(line);
}

LRESULT CALLBACK WindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_CLOSE:
      RecordMessage(message, wParam, lParam);
      if (g_mode == Mode::kClose) DestroyWindow(window);
      return 0;
    case WM_COMMAND:
      RecordMessage(message, wParam, lParam);
      if (g_mode == Mode::kClose && LOWORD(wParam) == kExitCommand) DestroyWindow(window);
      return 0;
    case WM_QUIT:  // only arrives here when sent, not posted
      RecordMessage(message, wParam, lParam);
      return 0;
    case WM_TIMER:
      if (wParam == kLifetimeTimer ||
          (wParam == kQuitFileTimer && GetFileAttributesA((g_record + ".quit").c_str()) != INVALID_FILE_ATTRIBUTES))
        DestroyWindow(window);
      return 0;
    case WM_DESTROY:
      PostQuitMessage(0);
      return 0;
    default:
      if (message >= WM_USER && message < 0xC000) RecordMessage(message, wParam, lParam);
      return DefWindowProcA(window, message, wParam, lParam);
  }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  if (__argc < 4) return 2;
  const char* className = __argv[1];
  if (std::strcmp(__argv[2], "refuse") == 0) g_mode = Mode::kRefuse;
  if (std::strcmp(__argv[2], "hang") == 0) g_mode = Mode::kHang;
  g_record = __argv[3];
  const DWORD lifetime = __argc > 4 ? std::strtoul(__argv[4], nullptr, 10) : 60000;

  WNDCLASSA windowClass = {};
  windowClass.lpfnWndProc = WindowProc;
  windowClass.hInstance = instance;
  windowClass.lpszClassName = className;
  if (!RegisterClassA(&windowClass)) return 3;
  HWND window = CreateWindowA(className, className, WS_OVERLAPPEDWINDOW, 0, 0, 200, 100, nullptr, nullptr,
                              instance, nullptr);
  if (window == nullptr) return 4;
  Record("pid=" + std::to_string(GetCurrentProcessId()));
  Record("ready");
  if (g_mode == Mode::kHang) {
    Sleep(lifetime);
    Record("exit");
    return 0;
  }
  SetTimer(window, kLifetimeTimer, lifetime, nullptr);
  SetTimer(window, kQuitFileTimer, 100, nullptr);
  MSG message;
  while (GetMessageA(&message, nullptr, 0, 0) > 0) {
    TranslateMessage(&message);
    DispatchMessageA(&message);
  }
  Record("exit");
  return 0;
}
