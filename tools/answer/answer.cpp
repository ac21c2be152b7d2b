// answer.exe <caption> <yes|no|ok|cancel|close|none|default> [timeout-ms]
// Waits for a dialog box (window class #32770) with the given caption (with
// the caption --any: for any visible message box, that is a dialog with a
// message text, so never the setup's progress dialog),
// prints its caption and message text (and, for the setup's progress dialog,
// its status text and whether it and its progress bar are visible), and presses the given button ("none"
// only reads the text; "close" sends WM_CLOSE, as the title bar's Close
// does; "default" presses the button a person's Enter would, and prints its
// id and name: "pressed=6 Yes"). Exits 0 when a box was found, 1 on time-out.
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

struct PushButtons {
  HWND marked = nullptr;  // the one styled BS_DEFPUSHBUTTON
  HWND first = nullptr;   // the first visible one, in the box's order
};

BOOL CALLBACK FindPushButtons(HWND child, LPARAM found) {
  char className[16] = {};
  if (!IsWindowVisible(child) || GetClassNameA(child, className, sizeof className) == 0 ||
      lstrcmpiA(className, "Button") != 0)
    return TRUE;
  PushButtons& buttons = *reinterpret_cast<PushButtons*>(found);
  const LONG type = GetWindowLongA(child, GWL_STYLE) & BS_TYPEMASK;
  if (type == BS_DEFPUSHBUTTON && buttons.marked == nullptr) buttons.marked = child;
  if ((type == BS_DEFPUSHBUTTON || type == BS_PUSHBUTTON) && buttons.first == nullptr) buttons.first = child;
  return TRUE;
}

// The button a person's Enter presses: the one the box marks as its
// default (a message box's MB_DEFBUTTONn, the first unless it says
// otherwise), else the one DM_GETDEFID names, else the first. Wine's
// message box answers DM_GETDEFID with no default, and an IDOK sent to a
// Yes/No box ends it with 1, which the setup reads as No.
HWND DefaultButton(HWND box) {
  PushButtons buttons;
  EnumChildWindows(box, FindPushButtons, reinterpret_cast<LPARAM>(&buttons));
  if (buttons.marked != nullptr) return buttons.marked;
  const LRESULT id = SendMessageA(box, DM_GETDEFID, 0, 0);
  if (HIWORD(id) == DC_HASDEFID && GetDlgItem(box, LOWORD(id)) != nullptr) return GetDlgItem(box, LOWORD(id));
  return buttons.first;
}

// A button's text as a person reads it: "&Yes" is "Yes".
std::string ButtonName(HWND button) {
  std::string name;
  for (const char c : WindowText(button)) {
    if (c != '&') name += c;
  }
  return name;
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
    const HWND pressed = DefaultButton(box);
    button = pressed != nullptr ? GetDlgCtrlID(pressed) : IDOK;
    std::printf("pressed=%d %s\n", button, pressed != nullptr ? ButtonName(pressed).c_str() : "OK");
    std::fflush(stdout);
  }
  if (button != 0) PostMessageA(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  if (close) PostMessageA(box, WM_CLOSE, 0, 0);
  return 0;
}
