// child.exe: a stand-in for a program that a setup starts (MSIEXEC, a nested
// SETUP.EXE, an uninstaller, a redistributable). It appends its command line
// as one line to a record file, optionally waits, and exits with a chosen code.
//
// Its settings come from "<own path without .exe>.cfg" beside it when that
// exists, else from the environment:
//   record=<file>   KQCHILD_RECORD   where to append the command line
//   exit=<number>   KQCHILD_EXIT     exit code (decimal or 0x hex), default 0
//   wait=<ms>       KQCHILD_WAIT     milliseconds to wait before exiting
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
};

void Apply(Settings& s, const std::string& key, const std::string& value) {
  if (key == "record") s.record = value;
  if (key == "exit") s.exitCode = std::strtoul(value.c_str(), nullptr, 0);
  if (key == "wait") s.waitMs = std::strtoul(value.c_str(), nullptr, 0);
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
  ExitProcess(static_cast<UINT>(settings.exitCode));
}
