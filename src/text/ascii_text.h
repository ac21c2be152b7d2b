#pragma once
// ASCII letters and digits in ANSI text, classified once for the program,
// and the letter case of ASCII letters.
// Setup data words, option letters, property names, header names and folder
// names are compared without regard to the case of their ASCII letters, and
// nothing else is folded: a locale's CharUpper or tolower would also change
// letters outside ASCII, which Windows Installer and the file system treat as
// they are. In the double-byte code pages the second byte of a character can
// be a letter (ア is 83 41 in 932, 漢 is 9D 68 in 936, 字 is A6 72 in 950),
// so the text is walked character by character (IsLeadByte) and a trail byte
// is never folded: a double-byte character stays whole and compares exactly.
#include <cstddef>
#include <string>

namespace kq {

// One byte's class: 0 to 9; a to z and A to Z; 0 to 9, a to f and A to F.
// Every other byte (a lead or trail byte of a double-byte character too) is
// none of them.
bool IsAsciiDigit(char c);
bool IsAsciiLetter(char c);
bool IsHexDigit(char c);
// The value of a hexadecimal digit of either case, -1 for any other byte.
int HexDigitValue(char c);

// One byte that stands alone as a character (an option letter, the first byte
// of a text): a to z and A to Z change, every other byte stays.
char ToUpperAscii(char c);
char ToLowerAscii(char c);

// `text` with the ASCII letters that stand alone folded; codePage as for
// IsLeadByte (0: the running system's ANSI code page).
std::string UpperCaseAscii(const std::string& text, unsigned codePage = 0);
std::string LowerCaseAscii(const std::string& text, unsigned codePage = 0);

// The same characters, ASCII letters standing alone compared without case,
// double-byte characters compared exactly.
bool EqualsNoCase(const std::string& a, const std::string& b, unsigned codePage = 0);

}  // namespace kq
