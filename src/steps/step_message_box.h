#pragma once
// The message boxes the installation steps show, owned by the progress
// dialog. One replaceable function, so that tests can see a box's text,
// caption and style without a display.
#include <windows.h>

namespace kq {

using MessageBoxFunction = int (*)(HWND owner, const char* text, const char* caption, UINT style);

// Writes the box's caption and text to the log, then shows it; when the
// process command line asks for UiLevel::kBasicNoModal or UiLevel::kQuiet
// (QuietCommandLine), returns 0 without showing it: nobody may be there to
// answer, whatever the step.
int ShowStepMessageBox(HWND owner, const char* text, const char* caption, UINT style);

// Replaces MessageBoxA for the steps (tests); null restores it. Returns the
// function that was in use.
MessageBoxFunction SetStepMessageBox(MessageBoxFunction function);

}  // namespace kq
