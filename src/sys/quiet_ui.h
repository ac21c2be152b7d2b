#pragma once
// The UI levels of MSIEXEC's /q options, and the one rule for what a quiet
// run leaves out. The rule is read from the raw process command line, so
// that the dialog can be created hidden and an internal error can be kept
// off the screen before (or without) a parsed command line; the parser
// decodes the same options with the same function.
#include <string>

namespace kq {

// UI levels as the command line gives them: none given, /qf, /qr, /qb+,
// /qb, /qb-, /qn+, /qn. Only this unit compares them: everything else asks
// one of the named groups below.
enum class UiLevel { kNone, kFull, kReduced, kBasicModalEnd, kBasic, kBasicNoModal, kNoneModalEnd, kQuiet };

// The level's number as the setup log writes it ("UI level = 7"): 0 none
// given, 1 /qf, 2 /qr, 3 /qb+, 4 /qb, 5 /qb-, 6 /qn+, 7 /qn.
int UiLevelNumber(UiLevel level);

// The option MSIEXEC gets for the level, with its leading blank (" /qb-"),
// or "" when none was given.
const char* UiLevelOptionText(UiLevel level);

// The UI level an option asks for; `option` is the text after its "/" or
// "-". "quiet" is kQuiet and "passive" kBasicNoModal (Windows Installer
// 3.0's words, any letter case); a word beginning with q gives the level of
// its suffix (none or n kQuiet, f kFull, r kReduced, b kBasic, b+
// kBasicModalEnd, b- kBasicNoModal, n+ kNoneModalEnd, any case).
// kNone for any other option, and for a q option with another suffix.
UiLevel UiLevelOfOption(const std::string& option);

// The level of the last UI option among the blank-separated words of a
// command line (quoted text is part of its word); kNone when there is
// none. Only a word that begins with "/" or "-" is an option.
UiLevel UiLevelOfCommandLine(const std::string& commandLine);

// The named groups of UI levels.
//
// kBasicNoModal (/qb-, /passive) and kQuiet (/qn, /quiet) show no message
// box: what a box would say goes to the log instead.
bool ShowsNoBoxes(UiLevel level);
// kBasicNoModal, kNoneModalEnd and kQuiet (/qb-, /qn+, /qn) count as silent
// for the steps that deal with software in the way: they decide by their
// rules instead of asking.
bool IsSilentUiLevel(UiLevel level);
// kBasic, kBasicNoModal and kQuiet (/qb, /qb-, /qn) run the Windows
// Installer redistributable with its own silent switch, and it then leaves
// a restart it needs to the setup.
bool InstallsEngineQuietly(UiLevel level);
// kQuiet: the progress dialog is never shown.
bool HidesDialog(UiLevel level);
// A UI option was given at all, and one other than full UI.
bool HasUiOption(UiLevel level);
bool AsksForLessThanFullUi(UiLevel level);

// Whether the user is asked before the final restart: a reading of the UI
// options of its own, kept as it always was, over the argument text as
// given. "/QF", "/QR", "/QB+" and "/QN+" ask; any other "/Q" does not; no
// "/Q" asks (case-sensitive substring tests, with "-" as well as "/", so a
// lower-case "/qb" asks). A run at kBasicNoModal or kQuiet (ShowsNoBoxes)
// never asks: a modal question would block an unattended installation
// forever.
bool AsksBeforeFinalReboot(const std::string& argumentText, UiLevel uiLevel);

// Whether the raw command line asks for one of those levels.
bool QuietCommandLine(const std::string& commandLine);

// Whether the raw command line asks for kQuiet, where the progress dialog
// is never visible.
bool HiddenDialogCommandLine(const std::string& commandLine);

// Writes the caption, then each line of the text, of a box through the run
// platform's log: every box a step shows or, in a quiet run, would show, so
// that the log says why a run was refused whatever its UI level.
void LogBoxText(const std::string& caption, const std::string& text);

}  // namespace kq
