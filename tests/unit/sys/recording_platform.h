#pragma once
// A run platform for tests: a chosen process command line and user locale,
// and a record of the log lines and error boxes, so that internal errors can
// be raised and looked at in-process. Installed for the lifetime of the
// object.
#include <cstdint>
#include <string>
#include <vector>

#include "sys/internal_error.h"
#include "sys/run_platform.h"
#include "sys/setup_exit_code.h"

namespace kq {
namespace testing_support {

struct ErrorBox {
  WindowHandle owner;
  std::string caption;
  std::string text;
};

class RecordingPlatform {
 public:
  RecordingPlatform() : previous_(SetRunPlatform(&kPlatform)) {
    State() = Recorded();
  }
  ~RecordingPlatform() { SetRunPlatform(previous_); }
  RecordingPlatform(const RecordingPlatform&) = delete;
  RecordingPlatform& operator=(const RecordingPlatform&) = delete;

  void SetCommandLine(const std::string& commandLine) { State().commandLine = commandLine; }
  void SetUserLocale(uint32_t locale) { State().locale = locale; }
  const std::vector<std::string>& LogLines() const { return State().log; }
  const std::vector<ErrorBox>& Boxes() const { return State().boxes; }

 private:
  struct Recorded {
    std::string commandLine = "SETUP.EXE";
    uint32_t locale = 0x0409;
    std::vector<std::string> log;
    std::vector<ErrorBox> boxes;
  };
  static Recorded& State() {
    static Recorded state;
    return state;
  }
  static std::string CommandLine() { return State().commandLine; }
  static uint32_t Locale() { return State().locale; }
  static void Log(const char* line) { State().log.push_back(line); }
  static void Box(WindowHandle owner, const char* caption, const char* text) {
    State().boxes.push_back(ErrorBox{owner, caption, text});
  }
  static constexpr RunPlatform kPlatform = {CommandLine, Locale, Log, Box};

  const RunPlatform* previous_;
};

// Runs `body` and gives the setup exit code it raised (kExitUnexpected when it
// raised something else or nothing).
template <typename Body>
uint32_t RaisedCode(Body&& body) {
  return CatchSetupExitCode(body);
}

}  // namespace testing_support
}  // namespace kq
