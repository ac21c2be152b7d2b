#pragma once
// Helpers for the Windows tests that start child processes: the stand-in
// child program of the build tree, scratch folders and the setup log.
#include <windows.h>

#include <string>

namespace kq {
namespace test {

// Folder of the running test program, with a trailing backslash.
std::string ProgramFolder();

// The stand-in child (tools/child.exe of the same build tree): appends its
// command line to KQCHILD_RECORD, waits KQCHILD_WAIT ms, exits KQCHILD_EXIT.
std::string ChildProgram();

// A fresh, empty folder under the temporary folder, with a trailing backslash.
std::string ScratchFolder(const char* name);

std::string ReadWholeFile(const std::string& path);
bool WriteWholeFile(const std::string& path, const std::string& content);

// Switches the setup log on for this process; call before anything logs.
void EnableSetupLog();

// The lines the setup log gained since construction, without their prefixes
// and without the line that names the test program's process (written before
// the first line the program logs).
class LogCapture {
 public:
  LogCapture();
  std::string Lines() const;  // each line followed by "\n"
  bool Contains(const std::string& line) const;

 private:
  size_t start_;
};

// Sets an environment variable for this process and its children until the
// object goes away.
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::string& value);
  ~ScopedEnvironment();
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  std::string name_;
};

}  // namespace test
}  // namespace kq
