#pragma once
// Captures DebugMgr's output (level 40) for the life of the object.
#include <cstdio>
#include <string>

#include "diag/debug_mgr.h"

namespace kq {

class TraceCapture {
 public:
  TraceCapture() : file_(std::tmpfile()) {
    DebugMgr::Settings settings;
    settings.debugLevel = 40;
    settings.extraStream2 = file_;
    DebugMgr::Configure(settings);
  }
  ~TraceCapture() {
    DebugMgr::ResetForTest();
    if (file_ != nullptr) std::fclose(file_);
  }
  TraceCapture(const TraceCapture&) = delete;
  TraceCapture& operator=(const TraceCapture&) = delete;

  std::string Text() {
    if (file_ == nullptr) return std::string();
    std::fflush(file_);
    std::rewind(file_);
    std::string text;
    char buffer[512];
    size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, file_)) > 0) text.append(buffer, n);
    return text;
  }

 private:
  FILE* file_;
};

}  // namespace kq
