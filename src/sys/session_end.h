#pragma once
// The end of the Windows session as the worker sees it. When Windows asks to
// end the session, the dialog's thread notes it here (besides setting its
// end-session event, which every wait for a child watches); whatever the
// worker is doing then (copying the medium, downloading, showing a box,
// about to start a program) stops at its next check by raising SessionEnd,
// and the run sequence ends with its reboot code.
#include "sys/setup_exit_code.h"

namespace kq {

// Raised by a step that stops because the session ends. It is a
// SetupExitCode of 1641; the run sequence makes it 460393 when its resume
// shortcut is in place.
class SessionEnd : public SetupExitCode {
 public:
  SessionEnd() : SetupExitCode(kExitRebootInitiated) {}
};

// Called by the dialog's thread; never undone.
void NoteSessionEnding();
bool IsSessionEnding();

// Raises SessionEnd when the session is ending; returns otherwise.
void StopIfSessionEnding();

}  // namespace kq
