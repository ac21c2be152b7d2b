#include <windows.h>

#include "sys/messages.h"

namespace kq {

bool GetMessageText(uint32_t id, std::string& text) {
  return GetMessageTextForLocale(static_cast<uint32_t>(GetUserDefaultLCID()), id, text);
}

std::string GetMessageTextOr(uint32_t id, const char* fallback) {
  std::string text;
  if (!GetMessageText(id, text)) text = fallback;
  return text;
}

}  // namespace kq
