#include "sys/log_switch.h"

#include <string>

#include "text/ascii_text.h"
#include "text/next_field.h"

namespace kq {

bool LogSwitchRequested(const char* value) {
  if (value == nullptr) return false;
  std::string rest = value;
  std::string token;
  bool enabled = false;
  while (!rest.empty()) {
    if (!NextField(rest, token, ",", QuoteMode::kRemove)) break;
    if (EqualsNoCase(token, "LOG")) enabled = true;
  }
  return enabled;
}

}  // namespace kq
