// SETUPCHK.EXE: the setup checker as a Windows console program (packages
// read through MSI.DLL).
#include <windows.h>

#include <string>

#include "check/check_command.h"
#include "text/ansi_code_page.h"

namespace {

// A console shows wide text whatever its code page; a file or pipe gets the
// text in the ANSI code page the findings are about, as before.
void WriteForConsole(std::FILE* stream, const std::string& text) {
  std::fflush(stream);
  const HANDLE handle = GetStdHandle(stream == stderr ? STD_ERROR_HANDLE : STD_OUTPUT_HANDLE);
  DWORD mode = 0;
  if (handle != INVALID_HANDLE_VALUE && GetConsoleMode(handle, &mode)) {
    const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
    std::wstring wide(static_cast<size_t>(length > 0 ? length : 0), L'\0');
    if (length > 0 &&
        MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), &wide[0], length) == length) {
      DWORD written = 0;
      if (WriteConsoleW(handle, wide.c_str(), static_cast<DWORD>(wide.size()), &written, nullptr)) return;
    }
  }
  std::string ansi;
  std::fputs(kq::Utf8ToAnsi(text, ansi) ? ansi.c_str() : text.c_str(), stream);
}

}  // namespace

int main(int argc, char** argv) { return kq::RunSetupCheck(argc, argv, {"SETUPCHK.EXE", false, WriteForConsole}); }
