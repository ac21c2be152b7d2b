#include "steps/step_message_box.h"

namespace kq {

namespace {

int SystemMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  return MessageBoxA(owner, text, caption, style);
}

MessageBoxFunction g_messageBox = SystemMessageBox;

}  // namespace

int ShowStepMessageBox(HWND owner, const char* text, const char* caption, UINT style) {
  return g_messageBox(owner, text, caption, style);
}

MessageBoxFunction SetStepMessageBox(MessageBoxFunction function) {
  const MessageBoxFunction previous = g_messageBox;
  g_messageBox = function != nullptr ? function : SystemMessageBox;
  return previous;
}

}  // namespace kq
