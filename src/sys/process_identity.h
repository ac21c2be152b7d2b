#pragma once
// A process told apart from a later one that reuses its identifier: the
// identifier with the process's creation time.
#include <cstdint>

namespace kq {

struct ProcessIdentity {
  uint32_t id = 0;
  uint64_t started = 0;  // creation time (FILETIME); 0 where the system cannot tell (the 9x family)
};

ProcessIdentity CurrentProcessIdentity();

// Whether that process still runs. A process that cannot be asked (another
// user's, without the rights to open it) counts as running.
bool IsProcessRunning(const ProcessIdentity& process);

}  // namespace kq
