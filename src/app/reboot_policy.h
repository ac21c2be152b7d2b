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

// Whether the command line suppresses restarts: REBOOT set to Suppress or
// ReallySuppress, or any value starting with S or R in either case, as
// Windows Installer reads it (/norestart sets ReallySuppress). Then no reboot
// code of a child ends the run and Windows is never restarted by it; a
// restart that is needed ends the run with 3010.
bool RestartsSuppressed(int rebootMode);

// Whether the setup restarts Windows itself after a main installation that
// needed a reboot it suppressed: not when the argument text sets REBOOT=S or
// REBOOT=R (case-sensitive, as msiexec's own property values are written),
// nor when the parsed command line's reboot mode says Suppress or
// ReallySuppress (2 or 3), which /norestart sets as well.
bool WantsFinalReboot(const std::string& argumentText, int rebootMode);

// Whether the user is asked before that restart. "/QF", "/QR", "/QB+" and
// "/QN+" ask; any other "/Q" does not; no "/Q" asks (case-sensitive tests,
// with "-" as well as "/"). A run at kUiBasicNoModal or kUiQuiet (ShowsNoBoxes) never
// asks: a modal question would block an unattended installation forever.
bool AsksBeforeFinalReboot(const std::string& argumentText, int uiLevel);

}  // namespace kq
