#pragma once
// Splitting, joining and testing paths in the ANSI code page. In the
// double-byte code pages 932, 936 and 950 the byte 0x5C is also the second
// byte of characters such as ソ (83 5C), 乗 (81 5C) and 許 (B3 5C), so a
// backslash is only a backslash where a character starts: these functions
// walk the text character by character with the code page's lead-byte rules
// and never cut a character in two.
#include <cstddef>
#include <string>

namespace kq {

// codePage 0 means the running system's ANSI code page (on Windows the lead
// bytes come from IsDBCSLeadByteEx(CP_ACP, b); in the host build code page 0
// follows SystemAnsiCodePage(), single-byte unless a test sets another).
// 932, 936, 949 and 950 are answered from the tables carried here, in both
// builds; any other explicit code page is single-byte.
bool IsLeadByte(unsigned char byte, unsigned codePage = 0);

// Byte offset of the last real backslash character (never a trail byte),
// npos if none.
size_t FindLastBackslash(const std::string& path, unsigned codePage = 0);

// Up to and including the last backslash or '/', e.g. "C:\a\b.ini" ->
// "C:\a\"; "C:name" -> "C:"; "" when there is no folder part.
std::string FolderOf(const std::string& path, unsigned codePage = 0);

// What follows FolderOf.
std::string NameOf(const std::string& path, unsigned codePage = 0);

bool EndsWithBackslash(const std::string& path, unsigned codePage = 0);

// Appends '\' unless the path already ends with a real backslash character.
void AppendBackslash(std::string& path, unsigned codePage = 0);

// `folder` and `name` as one path: a backslash goes between them unless the
// folder is empty or already ends with a real backslash character (or '/').
// The folder's last byte alone does not decide: in 932, 936 and 950 a
// folder can end with a character whose second byte is 0x5C.
std::string JoinPath(const std::string& folder, const std::string& name, unsigned codePage = 0);

// A path as one word of a command line: in double quotes.
std::string QuotedPath(const std::string& path);

// A program's path as the first word of a command line: in double quotes
// when it holds a blank or a tab, which would otherwise end the program's
// name; as it is otherwise.
std::string ProgramWord(const std::string& path);

// Every real backslash character replaced by `replacement`.
std::string ReplaceBackslashes(const std::string& text, char replacement, unsigned codePage = 0);

// Length in bytes of the character that starts at `offset` (1 or 2): a lead
// byte and the byte after it make one character. No code page has trail
// bytes below 0x40, so a lead byte before NUL, a blank, a digit or the
// punctuation below '@' stands alone, and those bytes are always characters
// of their own (a text can then be trimmed or split at them byte by byte).
size_t CharLengthAt(const std::string& text, size_t offset, unsigned codePage = 0);

// Offset of the first character at or after `from` (which must start a
// character) that is one of the single bytes in `set`, npos if none; the
// trail byte of a double-byte character never matches.
size_t FindCharacter(const std::string& text, const char* set, size_t from = 0, unsigned codePage = 0);

}  // namespace kq
