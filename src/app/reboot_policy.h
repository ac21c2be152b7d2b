#pragma once
// The run's decisions about restarting the setup and the machine, taken on
// the argument text alone so that they can be checked without Windows.
#include <string>

#include "config/setup_command_line.h"
#include "sys/quiet_ui.h"

namespace kq {

// The arguments a restarted setup receives from the resume shortcut. Text
// without "/~" gets the marker of the copy's state appended (" /~" running
// from the copy, " /~-" for none, nothing when no copy was tried); when the
// first "/~" is the start of "/~-",
// that "-" becomes a space, so the restarted setup sees "/~" and removes the
// copy it runs from.
std::string MakeRestartArguments(const std::string& argumentText, TempCopyState state);

// Whether the user is asked before that restart. "/QF", "/QR", "/QB+" and
// "/QN+" ask; any other "/Q" does not; no "/Q" asks (case-sensitive tests,
// with "-" as well as "/"). A run at kBasicNoModal or kQuiet (ShowsNoBoxes) never
// asks: a modal question would block an unattended installation forever.
bool AsksBeforeFinalReboot(const std::string& argumentText, UiLevel uiLevel);

}  // namespace kq
