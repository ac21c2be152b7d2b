#include <windows.h>

#include <climits>

#include "text/ansi_code_page.h"

namespace kq {

namespace {

// Narrow text in `codePage` to wide, refusing invalid sequences where the
// system can (systems before XP take no flags with UTF-8; their U+FFFD for
// an invalid sequence then fails the way back to the ANSI code page).
bool ToWide(UINT codePage, const std::string& text, std::wstring& wide) {
  wide.clear();
  if (text.empty()) return true;
  if (text.size() > INT_MAX) return false;
  const int length = static_cast<int>(text.size());
  DWORD flags = MB_ERR_INVALID_CHARS;
  int needed = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
  if (needed <= 0 && GetLastError() == ERROR_INVALID_FLAGS) {
    flags = 0;
    needed = MultiByteToWideChar(codePage, flags, text.data(), length, nullptr, 0);
  }
  if (needed <= 0) return false;
  wide.resize(static_cast<size_t>(needed));
  return MultiByteToWideChar(codePage, flags, text.data(), length, &wide[0], needed) == needed;
}

// Wide to narrow; false when a character has no form in `codePage` (the
// system's default character would stand in for it).
bool FromWide(UINT codePage, const std::wstring& wide, std::string& text) {
  text.clear();
  if (wide.empty()) return true;
  if (wide.size() > INT_MAX) return false;
  const int length = static_cast<int>(wide.size());
  // UTF-8 takes no default-character argument.
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultOut = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const int needed = WideCharToMultiByte(codePage, 0, wide.data(), length, nullptr, 0, nullptr, usedDefaultOut);
  if (needed <= 0 || usedDefault) return false;
  text.resize(static_cast<size_t>(needed));
  return WideCharToMultiByte(codePage, 0, wide.data(), length, &text[0], needed, nullptr, usedDefaultOut) ==
             needed &&
         !usedDefault;
}

// CP_ACP unless the setup checker reads text for other systems.
UINT g_textCodePage = CP_ACP;

}  // namespace

unsigned SystemAnsiCodePage() { return g_textCodePage == CP_ACP ? GetACP() : g_textCodePage; }

void SetTextCodePage(unsigned codePage) { g_textCodePage = codePage == 0 ? CP_ACP : codePage; }

bool IsSystemLeadByte(unsigned char byte) { return IsDBCSLeadByteEx(g_textCodePage, byte) != FALSE; }

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  std::wstring wide;
  std::wstring back;
  // The way back must give the same characters: some code pages map
  // several characters to one byte sequence.
  if (ToWide(CP_UTF8, utf8, wide) && FromWide(g_textCodePage, wide, ansi) && ToWide(g_textCodePage, ansi, back) &&
      back == wide)
    return true;
  ansi.clear();
  return false;
}

bool AnsiToUtf8(const std::string& ansi, std::string& utf8) { return CodePageToUtf8(ansi, g_textCodePage, utf8); }

bool IsKnownCodePage(unsigned codePage) { return IsValidCodePage(codePage) != FALSE; }

bool Utf8FitsCodePage(const std::string& utf8, unsigned codePage) {
  std::wstring wide;
  std::wstring back;
  std::string narrow;
  return ToWide(CP_UTF8, utf8, wide) && FromWide(codePage, wide, narrow) && ToWide(codePage, narrow, back) &&
         back == wide;
}

bool CodePageToUtf8(const std::string& text, unsigned codePage, std::string& utf8) {
  std::wstring wide;
  if (ToWide(codePage, text, wide) && FromWide(CP_UTF8, wide, utf8)) return true;
  utf8.clear();
  return false;
}

}  // namespace kq
