#include "sys/test_support.h"

#include <vector>

#include "text/mbcs_path.h"
#include "sys/setup_log.h"

namespace kq {
namespace test {

std::string ProgramFolder() {
  char path[MAX_PATH] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, MAX_PATH);
  std::string folder(path, length);
  return FolderOf(folder);
}

std::string ChildProgram() { return KQ_CHILD_PROGRAM; }

std::string ScratchFolder(const char* name) {
  char temp[MAX_PATH] = {};
  GetTempPathA(MAX_PATH, temp);
  std::string folder = std::string(temp) + name + "\\";
  CreateDirectoryA(folder.c_str(), nullptr);
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
  if (find != INVALID_HANDLE_VALUE) {
    do {
      if (!(found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY)) DeleteFileA((folder + found.cFileName).c_str());
    } while (FindNextFileA(find, &found));
    FindClose(find);
  }
  return folder;
}

std::string ReadWholeFile(const std::string& path) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                            OPEN_EXISTING, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return std::string();
  std::string content;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(file, buffer, sizeof buffer, &read, nullptr) && read > 0) content.append(buffer, read);
  CloseHandle(file);
  return content;
}

bool WriteWholeFile(const std::string& path, const std::string& content) {
  HANDLE file = CreateFileA(path.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  if (file == INVALID_HANDLE_VALUE) return false;
  DWORD written = 0;
  const BOOL ok = WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr);
  CloseHandle(file);
  return ok && written == content.size();
}

void EnableSetupLog() { SetEnvironmentVariableA("KQSETUP", "LOG"); }

LogCapture::LogCapture() : start_(ReadWholeFile(kSetupLogPath).size()) {}

std::string LogCapture::Lines() const {
  const std::string all = ReadWholeFile(kSetupLogPath);
  std::string lines;
  size_t at = start_;
  while (at < all.size()) {
    size_t end = all.find("\r\n", at);
    if (end == std::string::npos) end = all.size();
    const std::string line = all.substr(at, end - at);
    const size_t dash = line.find(" - ");
    const std::string text = dash == std::string::npos ? line : line.substr(dash + 3);
    if (text != "Setup process " + std::to_string(GetCurrentProcessId()) + " started") lines += text + "\n";
    at = end + 2;
  }
  return lines;
}

bool LogCapture::Contains(const std::string& line) const {
  return ("\n" + Lines()).find("\n" + line + "\n") != std::string::npos;
}

ScopedEnvironment::ScopedEnvironment(const char* name, const std::string& value) : name_(name) {
  SetEnvironmentVariableA(name, value.c_str());
}

ScopedEnvironment::~ScopedEnvironment() { SetEnvironmentVariableA(name_.c_str(), nullptr); }

}  // namespace test
}  // namespace kq
