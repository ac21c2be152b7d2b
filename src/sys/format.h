#pragma once
#include <cstdarg>
#include <cstddef>
#include <string>

// The printf-style functions of this program format with the C library of
// Windows (MSVCRT.DLL's _vsnprintf, see FormatInto), so the compiler checks
// their formats in that library's dialect where it builds for Windows. Old
// MSVCRT.DLLs know no %llu, %zu, %jd or %hhu either; tools/check-sources.sh
// keeps those out of the sources.
#if defined(__MINGW32__)
#define KQ_PRINTF_FORMAT(format_index, first_arg) __attribute__((format(ms_printf, format_index, first_arg)))
#elif defined(__GNUC__)
#define KQ_PRINTF_FORMAT(format_index, first_arg) __attribute__((format(printf, format_index, first_arg)))
#else
#define KQ_PRINTF_FORMAT(format_index, first_arg)
#endif

namespace kq {

// printf-style formatting into a string of whatever length the result needs.
// A format the C library refuses gives an empty string.
std::string Format(const char* format, ...) KQ_PRINTF_FORMAT(1, 2);
std::string FormatV(const char* format, va_list args);

// FormatInto's answers other than a length.
constexpr int kFormatCut = -1;      // did not fit; the buffer holds the start
constexpr int kFormatRefused = -2;  // the C library refused the format

// Formats into buffer[0, size) (size > 0) and always terminates it. Returns
// the result's length when all of it fitted with its terminator, else
// kFormatCut or kFormatRefused. The answer is MSVCRT's, which does not say
// how much room a cut result needs (only the host's C library refuses a
// format, on an encoding error): callers grow and try again.
int FormatInto(char* buffer, size_t size, const char* format, va_list args);

}  // namespace kq
