#pragma once
// Process-wide trace facility of the download code. Three printf-style
// channels (DebugOutput with a level, DebugError, Assert) format into a
// 4096-byte buffer each and hand the text to EmitDebugText, which writes it to
// the output file, then the two extra streams, or else to standard output.
// At debug level 0 (the initial setting) nothing is written at all.
#include <cstdio>

#include "sys/format.h"

namespace kq {

class DebugMgr {
 public:
  static constexpr size_t kBufferSize = 4096;
  static constexpr size_t kFileNameSize = 1024;

  // The settings. Nothing in the program changes them; tests and a debugging
  // build set them here. Setting a new file name lets the file be created on
  // the next message; the stream pointers are not owned.
  struct Settings {
    int debugLevel = 0;
    bool errorsAsAsserts = false;
    const char* outputFileName = "";  // copied, at most kFileNameSize - 1 bytes
    FILE* extraStream1 = nullptr;
    FILE* extraStream2 = nullptr;
  };
  static void Configure(const Settings& settings);
  // Back to the initial settings; closes an output file that was opened.
  static void ResetForTest();

  static void DebugOutput(int level, const char* format, ...) KQ_PRINTF_FORMAT(2, 3);
  static void DebugError(const char* format, ...) KQ_PRINTF_FORMAT(1, 2);
  static void Assert(unsigned char condition, const char* format, ...) KQ_PRINTF_FORMAT(2, 3);
  static void EmitDebugText(const char* text);
  static void CheckCreateOutputFile();
};

}  // namespace kq
