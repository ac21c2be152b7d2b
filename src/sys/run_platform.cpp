#include "sys/run_platform.h"

namespace kq {

namespace {
const RunPlatform* g_platform = nullptr;
}  // namespace

const RunPlatform& CurrentRunPlatform() { return g_platform != nullptr ? *g_platform : SystemRunPlatform(); }

const RunPlatform* SetRunPlatform(const RunPlatform* platform) {
  const RunPlatform* previous = g_platform;
  g_platform = platform;
  return previous;
}

void RunLog(const std::string& line) { CurrentRunPlatform().log(line.c_str()); }

}  // namespace kq
