// child.exe: a stand-in for a program that a setup starts (MSIEXEC, a nested
// SETUP.EXE, an uninstaller, a redistributable). It appends its command line
// as one line to a record file, optionally waits, and exits with a chosen code.
//
// Its settings come from "<own path without .exe>.cfg" beside it when that
// exists, else from the environment:
//   record=<file>   KQCHILD_RECORD   where to append the command line
//   exit=<number>   KQCHILD_EXIT     exit code (decimal or 0x hex), default 0
//   wait=<ms>       KQCHILD_WAIT     milliseconds to wait before exiting
//   run=<program>   KQCHILD_RUN      wraps that program (a copy of Wine's own
//                                    msiexec, say): runs it with this one's
//                                    arguments and exits with its code, or
//                                    with `exit` when that is set and the
//                                    program ended 0 (a repair /f<modes> is
//                                    handed on as Wine's msiexec takes it)
#include <windows.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

struct Settings {
  std::string record;
  unsigned long exitCode = 0;
  unsigned long waitMs = 0;
  std::string run;
};

void Apply(Settings& s, const std::string& key, const std::string& value) {
  if (key == "record") s.record = value;
  if (key == "exit") s.exitCode = std::strtoul(value.c_str(), nullptr, 0);
  if (key == "wait") s.waitMs = std::strtoul(value.c_str(), nullptr, 0);
  if (key == "run") s.run = value;
}

bool ReadConfigFile(Settings& s) {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return false;
  std::string cfg(path, length);
  const size_t dot = cfg.find_last_of('.');
  if (dot != std::string::npos) cfg.erase(dot);
  cfg += ".cfg";
  FILE* file = std::fopen(cfg.c_str(), "r");
  if (file == nullptr) return false;
  char line[1024];
  while (std::fgets(line, sizeof line, file) != nullptr) {
    std::string text = line;
    while (!text.empty() && (text.back() == '\n' || text.back() == '\r')) text.pop_back();
    const size_t eq = text.find('=');
    if (eq != std::string::npos) Apply(s, text.substr(0, eq), text.substr(eq + 1));
  }
  std::fclose(file);
  return true;
}

void ReadEnvironment(Settings& s) {
  if (const char* v = std::getenv("KQCHILD_RECORD")) Apply(s, "record", v);
  if (const char* v = std::getenv("KQCHILD_EXIT")) Apply(s, "exit", v);
  if (const char* v = std::getenv("KQCHILD_WAIT")) Apply(s, "wait", v);
  if (const char* v = std::getenv("KQCHILD_RUN")) Apply(s, "run", v);
}

// The command line's arguments after the program name.
std::string OwnArguments() {
  const char* text = GetCommandLineA();
  bool quoted = false;
  for (; *text != '\0'; ++text) {
    if (*text == '"') quoted = !quoted;
    if (!quoted && (*text == ' ' || *text == '\t')) break;
  }
  return text;
}

// Runs the wrapped program with this one's arguments; its exit code, or
// 1603 when it cannot be started.
// Splits off the first blank-separated word (quotes kept) of `text`.
std::string FirstWord(std::string& text) {
  size_t start = text.find_first_not_of(" \t");
  if (start == std::string::npos) start = text.size();
  size_t end = start;
  bool quoted = false;
  for (; end < text.size() && (quoted || (text[end] != ' ' && text[end] != '\t')); ++end) {
    if (text[end] == '"') quoted = !quoted;
  }
  const std::string word = text.substr(start, end - start);
  text.erase(0, end);
  return word;
}

// Wine's msiexec answers 1605 to a repair with /f<modes> package; /i with
// REINSTALL=ALL and the modes repairs. A repair is handed on so.
std::string WineArguments(std::string arguments) {
  std::string rest = arguments;
  const std::string option = FirstWord(rest);
  if (option.size() < 2 || (option[0] != '/' && option[0] != '-') || (option[1] != 'f' && option[1] != 'F'))
    return arguments;
  const std::string package = FirstWord(rest);
  return " /i " + package + " REINSTALL=ALL REINSTALLMODE=" + option.substr(2) + rest;
}

unsigned long RunWrapped(const std::string& program) {
  std::string command = "\"" + program + "\"" + WineArguments(OwnArguments());
  STARTUPINFOA startup = {};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process = {};
  if (!CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup, &process))
    return 1603;
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 1603;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  return code;
}

}  // namespace

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  Settings settings;
  if (!ReadConfigFile(settings)) ReadEnvironment(settings);
  if (!settings.record.empty()) {
    HANDLE file = CreateFileA(settings.record.c_str(), FILE_APPEND_DATA | SYNCHRONIZE,
                              FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_ALWAYS,
                              FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file != INVALID_HANDLE_VALUE) {
      std::string line = GetCommandLineA();
      line += "\r\n";
      DWORD written = 0;
      WriteFile(file, line.data(), static_cast<DWORD>(line.size()), &written, nullptr);
      CloseHandle(file);
    }
  }
  if (settings.waitMs > 0) Sleep(settings.waitMs);
  if (!settings.run.empty()) {
    const unsigned long code = RunWrapped(settings.run);
    ExitProcess(static_cast<UINT>(code == 0 && settings.exitCode != 0 ? settings.exitCode : code));
  }
  ExitProcess(static_cast<UINT>(settings.exitCode));
}
