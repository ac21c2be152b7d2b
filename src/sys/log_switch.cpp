#include "sys/log_switch.h"

#include <string>

#include "text/next_field.h"

namespace kq {

namespace {

// Byte-wise comparison without ASCII case is exact for multibyte text here:
// every byte of "LOG" is below 0x80, so none of them can be a lead byte, and a
// token equal to it holds no double-byte character whose trail byte could
// look like a letter.
bool IsLogToken(const std::string& token) {
  if (token.size() != 3) return false;
  auto upper = [](char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; };
  return upper(token[0]) == 'L' && upper(token[1]) == 'O' && upper(token[2]) == 'G';
}

}  // namespace

bool LogSwitchRequested(const char* value) {
  if (value == nullptr) return false;
  std::string rest = value;
  std::string token;
  bool enabled = false;
  while (!rest.empty()) {
    if (!NextField(rest, token, ",", QuoteMode::Remove)) break;
    if (!token.empty() && IsLogToken(token)) enabled = true;
  }
  return enabled;
}

}  // namespace kq
