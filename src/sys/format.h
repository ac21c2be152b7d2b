#pragma once
#include <cstdarg>
#include <string>

namespace kq {

// printf-style formatting into a string of whatever length the result needs.
std::string Format(const char* format, ...)
#ifdef __GNUC__
    __attribute__((format(printf, 1, 2)))
#endif
    ;
std::string FormatV(const char* format, va_list args);

}  // namespace kq
