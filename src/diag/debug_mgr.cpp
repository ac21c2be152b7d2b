#include "diag/debug_mgr.h"

#include <cstdarg>
#include <cstring>
#include <string>

#include "sys/format.h"
#include "sys/lock.h"

namespace kq {

namespace {

struct State {
  int debugLevel = 0;
  bool errorsAsAsserts = false;
  char outputFileName[DebugMgr::kFileNameSize] = {};
  // Created on first use; a file that failed to open stays here as "failed"
  // (null stream with the flag set) and is not tried again.
  FILE* outputFile = nullptr;
  bool outputFileCreated = false;
  FILE* extraStream1 = nullptr;
  FILE* extraStream2 = nullptr;
  char outputBuffer[DebugMgr::kBufferSize] = {};
  char assertBuffer[DebugMgr::kBufferSize] = {};
  char errorBuffer[DebugMgr::kBufferSize] = {};
};

State& GetState() {
  static State state;
  return state;
}

// One lock for all three channels and the writer. Recursive use (DebugError
// handing its text to Assert) goes through the unlocked helpers below.
CriticalSection& GetLock() {
  static CriticalSection lock;
  return lock;
}

void CheckCreateOutputFileLocked(State& s) {
  if (s.debugLevel == 0 || s.outputFileCreated || s.outputFileName[0] == '\0') return;
  s.outputFile = std::fopen(s.outputFileName, "a");
  s.outputFileCreated = true;
}

void EmitLocked(State& s, const char* text) {
  if (s.debugLevel == 0 || text == nullptr) return;
  CheckCreateOutputFileLocked(s);
  if (s.outputFile != nullptr) std::fputs(text, s.outputFile);
  if (s.extraStream1 != nullptr) std::fputs(text, s.extraStream1);
  if (s.extraStream2 != nullptr) {
    std::fputs(text, s.extraStream2);
    return;
  }
  if (!s.outputFileCreated) {
    std::fputs(text, stdout);
    std::fflush(stdout);
  }
}

// Copies as much of text as fits, always terminated.
template <size_t N>
void CopyTerminated(char (&to)[N], const char* text) {
  size_t i = 0;
  for (; i + 1 < N && text[i] != '\0'; ++i) to[i] = text[i];
  to[i] = '\0';
}

// Formats into a channel's buffer, never past its end, and emits the
// channel's warning first when the text was cut (or filled all but the
// buffer's last byte) or the format was refused.
void FormatChannel(State& s, char (&buffer)[DebugMgr::kBufferSize], const char* channel,
                   const char* format, va_list args) {
  const int length = FormatInto(buffer, sizeof buffer, format, args);
  if (length == kFormatRefused) {
    EmitLocked(s, (std::string(channel) + ": INVALID FORMAT.").c_str());
  } else if (length == kFormatCut || static_cast<size_t>(length) >= sizeof buffer - 1) {
    EmitLocked(s, (std::string(channel) + ": BUFFER OVERFLOW!").c_str());
  }
}

}  // namespace

void DebugMgr::Configure(const Settings& settings) {
  AutoLock hold(GetLock());
  State& s = GetState();
  s.debugLevel = settings.debugLevel;
  s.errorsAsAsserts = settings.errorsAsAsserts;
  const char* name = settings.outputFileName != nullptr ? settings.outputFileName : "";
  if (std::strncmp(name, s.outputFileName, sizeof s.outputFileName) != 0) {
    CopyTerminated(s.outputFileName, name);
    if (s.outputFile != nullptr) std::fclose(s.outputFile);
    s.outputFile = nullptr;
    s.outputFileCreated = false;
  }
  s.extraStream1 = settings.extraStream1;
  s.extraStream2 = settings.extraStream2;
}

void DebugMgr::ResetForTest() { Configure(Settings()); }

void DebugMgr::DebugOutput(int level, const char* format, ...) {
  AutoLock hold(GetLock());
  State& s = GetState();
  if (s.debugLevel == 0 || level > s.debugLevel || format == nullptr) return;
  va_list args;
  va_start(args, format);
  FormatChannel(s, s.outputBuffer, "DebugOutput", format, args);
  va_end(args);
  EmitLocked(s, s.outputBuffer);
}

void DebugMgr::DebugError(const char* format, ...) {
  AutoLock hold(GetLock());
  State& s = GetState();
  if (format == nullptr) return;
  va_list args;
  va_start(args, format);
  FormatChannel(s, s.errorBuffer, "DebugError", format, args);
  va_end(args);
  if (s.errorsAsAsserts) {
    // Assert with a false condition and the finished text, not formatted again.
    CopyTerminated(s.assertBuffer, s.errorBuffer);
    EmitLocked(s, s.assertBuffer);
  } else {
    EmitLocked(s, s.errorBuffer);
  }
}

void DebugMgr::Assert(unsigned char condition, const char* format, ...) {
  if (format == nullptr || condition != 0) return;
  AutoLock hold(GetLock());
  State& s = GetState();
  va_list args;
  va_start(args, format);
  FormatChannel(s, s.assertBuffer, "Assert", format, args);
  va_end(args);
  EmitLocked(s, s.assertBuffer);
}

void DebugMgr::EmitDebugText(const char* text) {
  AutoLock hold(GetLock());
  EmitLocked(GetState(), text);
}

void DebugMgr::CheckCreateOutputFile() {
  AutoLock hold(GetLock());
  CheckCreateOutputFileLocked(GetState());
}

}  // namespace kq
