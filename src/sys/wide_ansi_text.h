#pragma once
// Part of the wide/ANSI layer (sys/wide_ansi.h, which states the text rule):
// which family the system is, the code pages of the user's locale, and the
// conversions between narrow ANSI (or OEM) text and wide text.
#include <windows.h>

#include <cstdint>
#include <string>

namespace kq {

// Size of the conversion buffers for file names and paths, terminator included.
constexpr size_t kPathBufferChars = 260;
// Largest command line CreateProcess accepts, terminator included.
constexpr size_t kCommandLineChars = 32768;

bool IsWindowsNT();
// 1 (9x family) or 2 (NT family); 0 while the version query fails.
DWORD PlatformId();

// The code pages of the user's default locale, for the log.
uint32_t UserAnsiCodePage();
uint32_t UserOemCodePage();

// Conversions. The result, with its terminator, must fit in `bufferChars`
// characters; an input that does not fit, a null input, or any conversion
// failure gives an empty result. ToWideAnsi and ToNarrowAnsi use the ANSI
// code page the ANSI calls use (CP_ACP), ToWideOem the OEM one (CP_OEMCP).
// ToNarrowAnsi is exact: a character the ANSI code page cannot hold, or
// holds only through a look-alike, gives an empty result.
std::wstring ToWideAnsi(const char* text, size_t bufferChars = kPathBufferChars);
std::wstring ToWideOem(const char* text, size_t bufferChars = kPathBufferChars);
std::string ToNarrowAnsi(const wchar_t* text, size_t bufferChars = kPathBufferChars);

}  // namespace kq
