// answer.exe <caption> <yes|no|ok|cancel|close|none|default> [timeout-ms]
// Waits for a dialog box (window class #32770) with the given caption (with
// the caption --any: for any visible message box, that is a dialog with a
// message text, so never the setup's progress dialog),
// prints its caption and message text (and, for the setup's progress dialog,
// its status text and whether it and its progress bar are visible), and presses the given button ("none"
// only reads the text; "close" sends WM_CLOSE, as the title bar's Close
// does; "default" presses the box's default button). Exits 0 when a box was
// found, 1 on time-out.
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

std::string WindowText(HWND window) {
  const int length = GetWindowTextLengthA(window);
  if (length <= 0) return std::string();
  std::string text(static_cast<size_t>(length) + 1, '\0');
  const int copied = GetWindowTextA(window, &text[0], length + 1);
  text.resize(copied > 0 ? static_cast<size_t>(copied) : 0);
  return text;
}

int ButtonId(const char* name) {
  if (std::strcmp(name, "yes") == 0) return IDYES;
  if (std::strcmp(name, "no") == 0) return IDNO;
  if (std::strcmp(name, "ok") == 0) return IDOK;
  if (std::strcmp(name, "cancel") == 0) return IDCANCEL;
  return 0;
}

BOOL CALLBACK FindMessageBox(HWND window, LPARAM found) {
  char className[16] = {};
  if (!IsWindowVisible(window) || GetClassNameA(window, className, sizeof className) == 0 ||
      std::strcmp(className, "#32770") != 0 || GetDlgItem(window, 0xFFFF) == nullptr)
    return TRUE;
  *reinterpret_cast<HWND*>(found) = window;
  return FALSE;
}

HWND FindBox(const char* caption) {
  if (std::strcmp(caption, "--any") != 0) return FindWindowA("#32770", caption);
  HWND found = nullptr;
  EnumWindows(FindMessageBox, reinterpret_cast<LPARAM>(&found));
  return found;
}

// The button Enter would press: the dialog's default, else OK.
int DefaultButton(HWND box) {
  const LRESULT id = SendMessageA(box, DM_GETDEFID, 0, 0);
  return HIWORD(id) == DC_HASDEFID ? LOWORD(id) : IDOK;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: answer.exe <caption|--any> <yes|no|ok|cancel|close|none|default> [timeout-ms]\n");
    return 2;
  }
  const char* caption = argv[1];
  int button = ButtonId(argv[2]);
  const bool close = std::strcmp(argv[2], "close") == 0;
  const DWORD timeout = argc > 3 ? static_cast<DWORD>(std::strtoul(argv[3], nullptr, 10)) : 30000;
  const DWORD start = GetTickCount();
  HWND box = nullptr;
  while ((box = FindBox(caption)) == nullptr) {
    if (GetTickCount() - start > timeout) {
      std::printf("no-box\n");
      return 1;
    }
    Sleep(100);
  }
  // Give the box a moment to finish creating its controls.
  Sleep(300);
  HWND message = GetDlgItem(box, 0xFFFF);
  std::printf("caption=%s\n", WindowText(box).c_str());
  std::printf("text=%s\n", message != nullptr ? WindowText(message).c_str() : "");
  // The setup's own dialog: its status text and progress bar.
  if (HWND status = GetDlgItem(box, 1000)) std::printf("status=%s\n", WindowText(status).c_str());
  if (HWND progress = GetDlgItem(box, 1001)) std::printf("progress-visible=%d\n", IsWindowVisible(progress) ? 1 : 0);
  std::printf("visible=%d\n", IsWindowVisible(box) ? 1 : 0);
  std::fflush(stdout);
  if (std::strcmp(argv[2], "default") == 0) {
    button = DefaultButton(box);
    std::printf("pressed=%d\n", button);
    std::fflush(stdout);
  }
  if (button != 0) PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  if (close) PostMessageA(box, WM_CLOSE, 0, 0);
  return 0;
}
