// runner.exe [--cwd <folder>] [--timeout <ms>] [--stats] [--watch] [<command line...>]
// Starts the command line (the rest of its own command line, or when that is
// empty the exact text of the environment variable KQRUN_CMDLINE, which a
// test uses to control quoting byte for byte) with CreateProcess, waits for it and prints
// "exit=0x%08X (%lu)" with the full 32-bit exit code, which Wine's own exit
// status would cut to its low 8 bits. Exits 0 when the code was read, 125
// when the program could not be started or did not end in time. With --stats it
// first prints "stats elapsed_ms=N peak_working_set=N peak_private=N" for benchmarks.
// With --wide the command line from KQRUN_CMDLINE is started as wide text
// (CreateProcessW), as the shell starts programs on NT, so characters that
// the ANSI code page cannot hold reach the program as they are.
// With --watch it looks at the program's top-level dialogs (class #32770)
// every millisecond from its start and first prints "watch dialogs=N
// visible=M": how many it had, and how many of those were ever visible.
// With --shortcut the command line names a shortcut (.lnk): the runner starts
// its target with its arguments in its working folder, as a logon starts a
// Startup entry, and waits for that program (the shell's own start of a
// shortcut gives no process to wait for).
#include <windows.h>
#include <objbase.h>
#include <psapi.h>
#include <shlobj.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

// The dialogs of one process, and which of them were ever seen visible.
struct DialogWatch {
  DWORD processId;
  std::vector<HWND> seen;
  std::vector<HWND> visible;
};

void Remember(std::vector<HWND>& list, HWND window) {
  for (HWND known : list) {
    if (known == window) return;
  }
  list.push_back(window);
}

BOOL CALLBACK WatchWindow(HWND window, LPARAM parameter) {
  auto* watch = reinterpret_cast<DialogWatch*>(parameter);
  DWORD processId = 0;
  GetWindowThreadProcessId(window, &processId);
  char className[16] = {};
  if (processId != watch->processId || GetClassNameA(window, className, sizeof className) == 0 ||
      std::strcmp(className, "#32770") != 0)
    return TRUE;
  Remember(watch->seen, window);
  if (IsWindowVisible(window)) Remember(watch->visible, window);
  return TRUE;
}

// The raw command line after the runner's own arguments.
const char* SkipArgument(const char* p) {
  while (*p == ' ' || *p == '\t') ++p;
  bool quoted = false;
  while (*p != '\0' && (quoted || (*p != ' ' && *p != '\t'))) {
    if (*p == '"') quoted = !quoted;
    ++p;
  }
  while (*p == ' ' || *p == '\t') ++p;
  return p;
}

std::string Unquote(std::string s) {
  if (s.size() >= 2 && s.front() == '"' && s.back() == '"') s = s.substr(1, s.size() - 2);
  return s;
}

std::string NextArgument(const char*& p) {
  const char* start = p;
  while (*start == ' ' || *start == '\t') ++start;
  const char* end = SkipArgument(start);
  std::string arg(start, end);
  while (!arg.empty() && (arg.back() == ' ' || arg.back() == '\t')) arg.pop_back();
  p = end;
  return Unquote(arg);
}

// The command line and working folder that the shortcut file starts.
bool ReadShortcut(const std::wstring& file, std::wstring& commandLine, std::wstring& folder) {
  if (FAILED(CoInitialize(nullptr))) return false;
  bool read = false;
  IShellLinkW* link = nullptr;
  if (SUCCEEDED(CoCreateInstance(CLSID_ShellLink, nullptr, CLSCTX_INPROC_SERVER, IID_IShellLinkW,
                                 reinterpret_cast<void**>(&link)))) {
    IPersistFile* persist = nullptr;
    if (SUCCEEDED(link->QueryInterface(IID_IPersistFile, reinterpret_cast<void**>(&persist)))) {
      wchar_t target[MAX_PATH] = {};
      wchar_t arguments[1024] = {};
      wchar_t workingFolder[MAX_PATH] = {};
      if (SUCCEEDED(persist->Load(file.c_str(), STGM_READ)) &&
          SUCCEEDED(link->GetPath(target, MAX_PATH, nullptr, SLGP_RAWPATH)) &&
          SUCCEEDED(link->GetArguments(arguments, 1024)) &&
          SUCCEEDED(link->GetWorkingDirectory(workingFolder, MAX_PATH))) {
        commandLine = std::wstring(L"\"") + target + L"\"";
        if (arguments[0] != L'\0') commandLine += std::wstring(L" ") + arguments;
        folder = workingFolder;
        read = true;
      }
      persist->Release();
    }
    link->Release();
  }
  CoUninitialize();
  return read;
}

}  // namespace

int main() {
  const char* p = SkipArgument(GetCommandLineA());
  std::string cwd;
  DWORD timeout = INFINITE;
  bool stats = false;
  bool watch = false;
  bool wideStart = false;
  bool shortcut = false;
  for (;;) {
    const char* save = p;
    std::string arg = NextArgument(p);
    if (arg == "--cwd") {
      cwd = NextArgument(p);
    } else if (arg == "--stats") {
      stats = true;
    } else if (arg == "--watch") {
      watch = true;
    } else if (arg == "--wide") {
      wideStart = true;
    } else if (arg == "--shortcut") {
      shortcut = true;
    } else if (arg == "--timeout") {
      timeout = static_cast<DWORD>(std::strtoul(NextArgument(p).c_str(), nullptr, 10));
    } else {
      p = save;
      break;
    }
  }
  while (*p == ' ') ++p;
  std::string fromEnvironment;
  std::wstring wideCommandLine;
  if (*p == '\0') {
    // Read wide and converted here: Wine's GetEnvironmentVariableA copies
    // only as many bytes as the value has wide characters, which cuts
    // double-byte text short.
    const DWORD chars = GetEnvironmentVariableW(L"KQRUN_CMDLINE", nullptr, 0);
    if (chars > 1) {
      std::wstring wide(chars, L'\0');
      wide.resize(GetEnvironmentVariableW(L"KQRUN_CMDLINE", &wide[0], chars));
      const int bytes = WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, nullptr, 0, nullptr, nullptr);
      if (bytes > 0) {
        fromEnvironment.assign(static_cast<size_t>(bytes), '\0');
        WideCharToMultiByte(CP_ACP, 0, wide.c_str(), -1, &fromEnvironment[0], bytes, nullptr, nullptr);
        fromEnvironment.resize(static_cast<size_t>(bytes) - 1);
      }
      if (wideStart || shortcut) wideCommandLine = wide.c_str();
      SetEnvironmentVariableA("KQRUN_CMDLINE", nullptr);  // not for the child
      p = fromEnvironment.c_str();
    }
  }
  if (*p == '\0') {
    std::fprintf(stderr, "usage: runner.exe [--cwd dir] [--timeout ms] <command line>\n");
    return 125;
  }
  std::string commandLine = p;
  std::wstring shortcutFolder;
  if (shortcut) {
    std::wstring file = wideCommandLine;
    if (file.empty()) {
      const std::string name = Unquote(commandLine);
      file.assign(name.size() + 1, L'\0');
      const int chars = MultiByteToWideChar(CP_ACP, 0, name.c_str(), -1, &file[0], static_cast<int>(file.size()));
      file.resize(chars > 0 ? static_cast<size_t>(chars - 1) : 0);
    }
    if (file.empty() || !ReadShortcut(file, wideCommandLine, shortcutFolder)) {
      std::printf("shortcut-unreadable\n");
      return 125;
    }
  }
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  STARTUPINFOW wideStartup = {};
  wideStartup.cb = sizeof wideStartup;
  PROCESS_INFORMATION info = {};
  std::wstring wideCwd(cwd.size() + 1, L'\0');
  const int cwdChars =
      MultiByteToWideChar(CP_ACP, 0, cwd.c_str(), -1, &wideCwd[0], static_cast<int>(wideCwd.size()));
  wideCwd.resize(cwdChars > 0 ? static_cast<size_t>(cwdChars - 1) : 0);
  if (!shortcutFolder.empty()) wideCwd = shortcutFolder;
  const BOOL created =
      !wideCommandLine.empty()
          ? CreateProcessW(nullptr, &wideCommandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                           wideCwd.empty() ? nullptr : wideCwd.c_str(), &wideStartup, &info)
          : CreateProcessA(nullptr, &commandLine[0], nullptr, nullptr, FALSE, 0, nullptr,
                           cwd.empty() ? nullptr : cwd.c_str(), &startup, &info);
  if (!created) {
    std::printf("start-failed=%lu\n", GetLastError());
    return 125;
  }
  CloseHandle(info.hThread);
  const DWORD started = GetTickCount();
  // With --stats the process is sampled while it runs: its counters may be
  // gone once it has ended.
  SIZE_T peakWorkingSet = 0;
  SIZE_T peakPrivate = 0;
  DWORD wait = WAIT_TIMEOUT;
  DialogWatch dialogs = {info.dwProcessId, {}, {}};
  if (watch) {
    for (;;) {
      EnumWindows(WatchWindow, reinterpret_cast<LPARAM>(&dialogs));
      wait = WaitForSingleObject(info.hProcess, 1);
      if (wait != WAIT_TIMEOUT || (timeout != INFINITE && GetTickCount() - started >= timeout)) break;
    }
    std::printf("watch dialogs=%u visible=%u\n", static_cast<unsigned>(dialogs.seen.size()),
                static_cast<unsigned>(dialogs.visible.size()));
  } else if (stats) {
    for (;;) {
      PROCESS_MEMORY_COUNTERS memory = {};
      memory.cb = sizeof memory;
      if (GetProcessMemoryInfo(info.hProcess, &memory, sizeof memory) && memory.PeakWorkingSetSize > peakWorkingSet)
        peakWorkingSet = memory.PeakWorkingSetSize;
      if (memory.PeakPagefileUsage > peakPrivate) peakPrivate = memory.PeakPagefileUsage;
      wait = WaitForSingleObject(info.hProcess, 5);
      if (wait != WAIT_TIMEOUT || (timeout != INFINITE && GetTickCount() - started >= timeout)) break;
    }
  } else {
    wait = WaitForSingleObject(info.hProcess, timeout);
  }
  if (wait != WAIT_OBJECT_0) {
    std::printf("timeout\n");
    TerminateProcess(info.hProcess, 1);
    CloseHandle(info.hProcess);
    return 125;
  }
  DWORD code = 0;
  GetExitCodeProcess(info.hProcess, &code);
  if (stats) {
    std::printf("stats elapsed_ms=%lu peak_working_set=%lu peak_private=%lu\n", GetTickCount() - started,
                static_cast<unsigned long>(peakWorkingSet), static_cast<unsigned long>(peakPrivate));
  }
  CloseHandle(info.hProcess);
  std::printf("exit=0x%08lX (%lu)\n", code, code);
  std::fflush(stdout);
  return 0;
}
