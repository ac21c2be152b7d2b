#pragma once
// What the portable parts of the run (command line, setup data, internal
// errors) need from the system, behind one seam: the Windows build reads the
// process command line and the user's default locale, writes the setup log
// and shows message boxes; the host build has none of these, and tests put
// in their own to watch what the code logs and shows.
#include <cstdint>
#include <string>

namespace kq {

// An HWND, kept opaque so that portable code can pass it along.
using WindowHandle = void*;

struct RunPlatform {
  // The process command line, read only for its switches (the quiet rule).
  std::string (*processCommandLine)();
  uint32_t (*userLocale)();
  void (*log)(const char* line);
  void (*showErrorBox)(WindowHandle owner, const char* caption, const char* text);
};

// The build's own platform.
const RunPlatform& SystemRunPlatform();

// The platform in use: the system's unless a test replaced it.
const RunPlatform& CurrentRunPlatform();

// Replaces the platform; null restores the system's. Returns the replaced one
// (null when it was the system's). Not thread-safe: for tests and start-up.
const RunPlatform* SetRunPlatform(const RunPlatform* platform);

// One line in the setup log, through the platform in use. Its text is a
// contract like every log line's (see sys/setup_log.h).
void RunLog(const std::string& line);

}  // namespace kq
