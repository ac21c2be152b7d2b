#include "config/parse_integer.h"

namespace kq {

bool ParseInteger(const std::string& text, int32_t& value) {
  size_t i = 0;
  const bool negative = !text.empty() && text[0] == '-';
  if (negative) i = 1;
  // Unsigned arithmetic wraps without undefined behaviour.
  uint32_t magnitude = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') return false;
    magnitude = magnitude * 10u + static_cast<uint32_t>(c - '0');
  }
  if (negative) magnitude = 0u - magnitude;
  value = static_cast<int32_t>(magnitude);  // two's complement, as every target has
  return true;
}

}  // namespace kq
