// The host build has no process command line to read, no setup log and no
// windows: an internal error there only ends the run with its code, in the
// English texts.
#include "sys/run_platform.h"

namespace kq {

namespace {

std::string NoCommandLine() { return std::string(); }
uint32_t EnglishUnitedStates() { return 0x0409; }
void NoLog(const char*) {}
void NoBox(WindowHandle, const char*, const char*) {}

}  // namespace

const RunPlatform& SystemRunPlatform() {
  static const RunPlatform platform = {NoCommandLine, EnglishUnitedStates, NoLog, NoBox};
  return platform;
}

}  // namespace kq
