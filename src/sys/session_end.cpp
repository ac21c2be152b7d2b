#include "sys/session_end.h"

#include <atomic>

namespace kq {

namespace {
std::atomic<bool> g_sessionEnding{false};
}  // namespace

void NoteSessionEnding() { g_sessionEnding = true; }

bool IsSessionEnding() { return g_sessionEnding; }

void StopIfSessionEnding() {
  if (g_sessionEnding) throw SessionEnd();
}

}  // namespace kq
