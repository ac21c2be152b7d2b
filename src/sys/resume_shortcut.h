#pragma once
// The resume shortcut: "KORVANE Install Exec Setup.lnk" in the current
// user's Startup folder starts the setup again at the next logon. Its
// description carries a tag (the setup data file name and ".Intermediate"
// or ".Final") that says what is left to do. The name is shared by every
// setup of this kind: whose shortcut it is, is told by the caller's
// classifier (from the program it starts), and another setup's is left
// alone. COM must be initialized on the calling thread.
#include <windows.h>

#include <string>
#include <vector>

#include "sys/shortcut_owner.h"

namespace kq {

constexpr const char kResumeShortcutName[] = "KORVANE Install Exec Setup.lnk";
// While another setup's shortcut holds that name, a setup's own takes the
// first free one of "KORVANE Install Exec Setup (2).lnk" to "(9)": every
// pending resume starts at the next logon.
constexpr int kResumeShortcutSlots = 9;

// True when this setup's resume shortcut is in place with this tag (an old
// one of this setup's replaced). Another setup's stays, and this
// one takes the next free name; one that cannot be read (torn by a power
// cut) starts nothing and is nobody's, so its name is free. The shortcut
// is written beside its name, flushed and moved into place, so a cut
// leaves the old one or the new one whole. False, with a log line naming
// the Startup folder, when every name is taken.
bool HookReboot(HWND owner, const std::string& tag, const std::string& restartProgram,
                const std::string& restartArguments, const ShortcutClassifier& classify);
inline bool HookReboot(HWND owner, const std::string& tag, const std::string& restartProgram,
                       const std::string& restartArguments) {
  return HookReboot(owner, tag, restartProgram, restartArguments, ClassifyByTag(tag));
}

// True when a resume shortcut of this setup carrying exactly this tag was
// found and removed. A shortcut that cannot be deleted is
// moved aside under a name of its own (which is deleted or scheduled for
// deletion at the restart); a shared name itself is never scheduled, so a
// newer shortcut placed there later survives the restart. The same holds
// for HookReboot's replacement of its own old shortcut.
bool UnhookReboot(HWND owner, const std::string& tag, const ShortcutClassifier& classify);
inline bool UnhookReboot(HWND owner, const std::string& tag) { return UnhookReboot(owner, tag, ClassifyByTag(tag)); }

// Whether a resume shortcut of this setup (any tag) is in place.
bool HasResumeShortcut(HWND owner, const ShortcutClassifier& classify);

// The per-user Startup folder (no trailing backslash); false after the
// error box when it cannot be found.
bool FindStartupFolder(HWND owner, std::string& folder);

// Full path of the resume shortcut's first name, empty after the error box
// when the Startup folder cannot be found.
std::string ResumeShortcutPath(HWND owner);

// The programs the resume shortcuts in place start (whatever their tags).
// A shortcut that cannot be read starts nothing: it is skipped, with a log
// line naming it and why. False when the Startup folder cannot be found:
// what the shortcuts start is then unknown.
bool ReadResumeShortcutTargets(HWND owner, std::vector<std::string>& targets);

}  // namespace kq
