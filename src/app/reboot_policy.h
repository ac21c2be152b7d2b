#pragma once
// The run's decisions about restarting the setup and the machine, taken on
// the argument text alone so that they can be checked without Windows.
#include <string>

namespace kq {

// The arguments a restarted setup receives from the resume shortcut. Text
// without "/~" gets the temp-copy marker appended (" /~" for marker 1, " /~-"
// for marker 2, nothing for 0); when the first "/~" is the start of "/~-",
// that "-" becomes a space, so the restarted setup sees "/~" and removes the
// copy it runs from.
std::string MakeRestartArguments(const std::string& argumentText, int tempCopyMarker);

// Whether the user is asked before that restart. "/QF", "/QR", "/QB+" and
// "/QN+" ask; any other "/Q" does not; no "/Q" asks (case-sensitive tests,
// with "-" as well as "/"). A run at kUiBasicNoModal or kUiQuiet (ShowsNoBoxes) never
// asks: a modal question would block an unattended installation forever.
bool AsksBeforeFinalReboot(const std::string& argumentText, int uiLevel);

}  // namespace kq
