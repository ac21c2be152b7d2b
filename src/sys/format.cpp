#include "sys/format.h"

#include <cstdio>

namespace kq {

namespace {

// The first try's room, and the most a result may take: none of this
// program's texts comes near it, so a format still cut there is taken as
// refused rather than grown without end.
constexpr size_t kFirstSize = 256;
constexpr size_t kLargestSize = size_t{64} << 20;

}  // namespace

int FormatInto(char* buffer, size_t size, const char* format, va_list args) {
#ifdef _WIN32
  // MSVCRT's own formatter, not mingw's C99 one (which links its
  // floating-point conversions). It answers -1 for a result longer than
  // size and leaves a result of exactly size characters unterminated.
  const int length = _vsnprintf(buffer, size, format, args);
  if (length >= 0 && static_cast<size_t>(length) < size) return length;
  buffer[size - 1] = '\0';
  return kFormatCut;
#else
  // Reduced to MSVCRT's answer, so that the host's tests take the same
  // paths as the program.
  const int length = std::vsnprintf(buffer, size, format, args);
  if (length < 0) {
    buffer[0] = '\0';
    return kFormatRefused;
  }
  return static_cast<size_t>(length) < size ? length : kFormatCut;
#endif
}

std::string FormatV(const char* format, va_list args) {
  if (format == nullptr) return std::string();
  std::string text(kFirstSize, '\0');
  for (;;) {
    va_list attempt;
    va_copy(attempt, args);
    const int length = FormatInto(&text[0], text.size(), format, attempt);
    va_end(attempt);
    if (length >= 0) {
      text.resize(static_cast<size_t>(length));
      return text;
    }
    if (length == kFormatRefused || text.size() >= kLargestSize) return std::string();
    text.assign(text.size() * 2, '\0');
  }
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string text = FormatV(format, args);
  va_end(args);
  return text;
}

}  // namespace kq
