#include "steps/software_messages.h"

#include "config/setup_command_line.h"
#include "steps/step_message_box.h"
#include "sys/messages.h"

namespace kq {

int ShowSoftwareMessage(HWND owner, uint32_t textId, uint32_t captionId, UINT style,
                        const std::vector<std::string>& placeholders) {
  std::string caption;
  std::string text;
  GetMessageText(captionId, caption);
  GetMessageText(textId, text);
  SubstitutePlaceholders(placeholders, text);
  return ShowStepMessageBox(owner, text.c_str(), caption.c_str(), style | MB_SETFOREGROUND);
}

}  // namespace kq
