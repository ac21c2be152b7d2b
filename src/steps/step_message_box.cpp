#include "steps/step_message_box.h"

#include "sys/session_end.h"
#include "sys/quiet_ui.h"
#include "sys/run_platform.h"

namespace kq {

namespace {

int SystemMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  return MessageBoxA(owner, text, caption, style);
}

MessageBoxFunction g_messageBox = SystemMessageBox;

}  // namespace

int ShowStepMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  LogBoxText(caption, text);
  if (QuietCommandLine(CurrentRunPlatform().processCommandLine())) return 0;
  // At the end of the session nobody answers, and the dialog closes a box
  // that is already up: its answer means nothing then.
  StopIfSessionEnding();
  const int answer = g_messageBox(owner, text, caption, style);
  StopIfSessionEnding();
  return answer;
}

MessageBoxFunction SetStepMessageBox(MessageBoxFunction function) {
  const MessageBoxFunction previous = g_messageBox;
  g_messageBox = function != nullptr ? function : SystemMessageBox;
  return previous;
}

}  // namespace kq
