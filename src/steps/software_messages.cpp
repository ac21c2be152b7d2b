#include "steps/software_messages.h"

#include "config/setup_command_line.h"
#include "steps/step_message_box.h"
#include "sys/messages.h"
#include "sys/quiet_ui.h"

namespace kq {

namespace {

void MessageAndCaption(uint32_t textId, uint32_t captionId, const std::vector<std::string>& placeholders,
                       std::string& text, std::string& caption) {
  caption = GetMessageText(captionId);
  text = GetMessageText(textId);
  SubstitutePlaceholders(placeholders, text);
}

}  // namespace

int ShowSoftwareMessage(HWND owner, uint32_t textId, uint32_t captionId, UINT style,
                        const std::vector<std::string>& placeholders) {
  std::string caption;
  std::string text;
  MessageAndCaption(textId, captionId, placeholders, text, caption);
  return ShowStepMessageBox(owner, text.c_str(), caption.c_str(), style | MB_SETFOREGROUND);
}

void LogSoftwareMessage(uint32_t textId, uint32_t captionId, const std::vector<std::string>& placeholders) {
  std::string caption;
  std::string text;
  MessageAndCaption(textId, captionId, placeholders, text, caption);
  LogBoxText(caption, text);
}

}  // namespace kq
