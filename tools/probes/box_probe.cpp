// box_probe.exe <caption> <text>: shows a Yes/No message box and exits with
// the button pressed (IDYES 6, IDNO 7), or 0 when the box could not be shown.
#include <windows.h>

int main(int argc, char** argv) {
  if (argc < 3) return 2;
  return MessageBoxA(nullptr, argv[2], argv[1], MB_YESNO | MB_ICONQUESTION);
}
