#include "sys/wide_ansi_process.h"

#include <vector>

#include "sys/setup_log.h"
#include "sys/wide_ansi_call.h"

namespace kq {

using wide_call::AnsiPathLongElseShort;
using wide_call::LookUpKernel;
using wide_call::NameForm;

bool CreateProcessFromCommandLine(const std::string& commandLine, ScopedHandle& process) {
  process.Reset();
  PROCESS_INFORMATION info = {};
  BOOL started = FALSE;
  if (!IsWindowsNT()) {
    STARTUPINFOA startup = {};
    startup.cb = sizeof startup;  // 68
    std::vector<char> buffer(commandLine.begin(), commandLine.end());
    buffer.push_back('\0');
    started = CreateProcessA(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                             &startup, &info);
  } else {
    using CreateProcessWFn = BOOL(WINAPI*)(LPCWSTR, LPWSTR, LPSECURITY_ATTRIBUTES, LPSECURITY_ATTRIBUTES,
                                           BOOL, DWORD, LPVOID, LPCWSTR, LPSTARTUPINFOW,
                                           LPPROCESS_INFORMATION);
    auto createProcessW = LookUpKernel<CreateProcessWFn>("CreateProcessW");
    if (createProcessW == nullptr) {
      SetupLogF("Failed to load CreateProcess entry point. Error Code = %08X",
                static_cast<unsigned>(GetLastError()));
      return false;
    }
    // One conversion only: a second reading of the command line could start
    // another program.
    const std::wstring wide = ToWideAnsi(commandLine.c_str(), kCommandLineChars);
    // CreateProcessW may write into its command-line buffer.
    std::vector<wchar_t> buffer(wide.begin(), wide.end());
    buffer.push_back(L'\0');
    STARTUPINFOW startup = {};
    startup.cb = sizeof startup;
    started = createProcessW(nullptr, buffer.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                             &info);
  }
  if (!started) return false;
  ScopedHandle thread(info.hThread);  // not needed: closed at once
  process.Reset(info.hProcess);
  return true;
}

std::string GetProgramPath(ModulePathCaller caller) {
  if (!IsWindowsNT()) {
    char buffer[MAX_PATH] = {};
    const DWORD length = GetModuleFileNameA(nullptr, buffer, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
      SetupLogF("The program's own path cannot be read, or is longer than %u characters",
                static_cast<unsigned>(MAX_PATH - 1));
      return std::string();
    }
    return std::string(buffer, length);
  }
  auto getModuleFileNameW = LookUpKernel<DWORD(WINAPI*)(HMODULE, LPWSTR, DWORD)>("GetModuleFileNameW");
  if (getModuleFileNameW == nullptr) {
    SetupLogF(caller == ModulePathCaller::Engine
                  ? "Failed to load entry point of GetModuleFileNameW. Error Code = %08X"
                  : "Failed to load GetModuleFileName entry point. Error Code = %08X",
              static_cast<unsigned>(GetLastError()));
    return std::string();
  }
  wchar_t wide[kPathBufferChars] = {};
  const DWORD length = getModuleFileNameW(nullptr, wide, kPathBufferChars);
  // A path that filled the buffer was cut short; treat it as unconvertible.
  if (length >= kPathBufferChars) wide[0] = L'\0';
  // A medium whose folder has characters outside the ANSI code page is
  // still reachable through its short name.
  std::string path;
  if (AnsiPathLongElseShort(wide, path) == NameForm::None)
    SetupLog("Failed to convert Unicode module filename to MBCS");
  return path;
}

namespace {

// The process command line as the NT family keeps it, or null (with the
// system's error code) when GetCommandLineW cannot be found.
const wchar_t* WideCommandLine() {
  auto getCommandLineW = LookUpKernel<LPWSTR(WINAPI*)()>("GetCommandLineW");
  return getCommandLineW != nullptr ? getCommandLineW() : nullptr;
}

}  // namespace

std::string GetProgramCommandLine() {
  if (!IsWindowsNT()) {
    const char* text = GetCommandLineA();
    return text != nullptr ? std::string(text) : std::string();
  }
  const wchar_t* wide = WideCommandLine();
  if (wide == nullptr) {
    SetupLogF("Failed to load GetCommandLineW entry point. Error Code = %08X",
              static_cast<unsigned>(GetLastError()));
    return std::string();
  }
  std::string text = ToNarrowAnsi(wide, kCommandLineChars);
  if (text.empty()) SetupLog("Failed to convert Unicode command line to MBCS");
  return text;
}

std::string GetProgramSwitchText() {
  if (!IsWindowsNT()) return GetProgramCommandLine();
  const wchar_t* wide = WideCommandLine();
  if (wide == nullptr) return std::string();
  std::string text = ToNarrowAnsi(wide, kCommandLineChars);
  if (!text.empty()) return text;
  for (; *wide != L'\0' && text.size() < kCommandLineChars; ++wide) {
    text.push_back(*wide < 0x80 ? static_cast<char>(*wide) : '?');
  }
  return text;
}

}  // namespace kq
