#pragma once
// The resume shortcut: "KORVANE Install Exec Setup.lnk" in the current
// user's Startup folder starts the setup again at the next logon. Its
// description carries a tag (the setup data file name and ".Intermediate"
// or ".Final") that says what is left to do and whose shortcut it is; the
// file is shared by every setup of this kind, so a shortcut with another
// tag is left alone. COM must be initialized on the calling thread.
#include <windows.h>

#include <string>

namespace kq {

constexpr const char kResumeShortcutName[] = "KORVANE Install Exec Setup.lnk";

// 1 when the resume shortcut with this tag is in place (an old one with the
// same tag replaced), 0 otherwise (another tag's shortcut stays, no box).
int HookReboot(HWND owner, const std::string& tag, const std::string& restartProgram,
               const std::string& restartArguments);

// 1 when a resume shortcut carrying exactly this tag was found and removed,
// 0 otherwise. A shortcut that cannot be deleted is moved aside under a name
// of its own (which is deleted or scheduled for deletion at the restart);
// the shared path itself is never scheduled, so a newer shortcut placed
// there later survives the restart. The same holds for HookReboot's
// replacement of its own old shortcut.
int UnhookReboot(HWND owner, const std::string& tag);

// The per-user Startup folder (no trailing backslash); false after the
// error box when it cannot be found.
bool FindStartupFolder(HWND owner, std::string& folder);

// Full path of the resume shortcut, empty after the error box when the
// Startup folder cannot be found.
std::string ResumeShortcutPath(HWND owner);

// The program the resume shortcut in place starts (whatever its tag); empty
// when there is none. False when the Startup folder cannot be found or the
// shortcut cannot be read: what it starts is then unknown.
bool ReadResumeShortcutTarget(HWND owner, std::string& target);

}  // namespace kq
