#pragma once
// The running system's ANSI code page, behind a seam: the Windows build asks
// the system; the host build has no system code page, so it takes one that
// tests set (single-byte 1252 until they do) and converts with iconv.
#include <string>

namespace kq {

// GetACP() on Windows; the host build's chosen code page.
unsigned SystemAnsiCodePage();

// Whether `byte` starts a two-byte character in the system's ANSI code page
// (IsDBCSLeadByteEx(CP_ACP, byte) on Windows).
bool IsSystemLeadByte(unsigned char byte);

// UTF-8 to the system's ANSI code page, through the wide form. False, with
// `ansi` empty, when the text is not UTF-8 or holds a character the code
// page cannot represent exactly: nothing is replaced by a default character
// or a look-alike.
bool Utf8ToAnsi(const std::string& utf8, std::string& ansi);

// The system's ANSI code page to UTF-8, through the wide form. False, with
// `utf8` empty, when the text is not valid in the code page.
bool AnsiToUtf8(const std::string& ansi, std::string& utf8);

// Conversions with a code page named by number (the setup checker's target
// systems), by the same rules: nothing is replaced by a default character.
bool IsKnownCodePage(unsigned codePage);
// Whether every character of the UTF-8 text has an exact form in the code
// page; false for text that is not UTF-8.
bool Utf8FitsCodePage(const std::string& utf8, unsigned codePage);
// The code page's text as UTF-8; false when it is not valid in the code page.
bool CodePageToUtf8(const std::string& text, unsigned codePage, std::string& utf8);

// The code page that the functions above use in place of the system's (0
// gives the system's back): the setup checker reads setup data as the
// target systems would. SETUP.EXE itself never calls it.
void SetTextCodePage(unsigned codePage);

#ifndef _WIN32
// Host build only: the code page SystemAnsiCodePage() reports. Tests set it
// to 932, 936, 949 or 950 to run the multibyte paths of portable code.
void SetHostAnsiCodePage(unsigned codePage);
#endif

}  // namespace kq
