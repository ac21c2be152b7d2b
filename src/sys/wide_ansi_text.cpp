#include "sys/wide_ansi_text.h"

#include <climits>
#include <vector>

#include "text/ascii_text.h"

namespace kq {

namespace {

volatile LONG g_familyKnown = 0;
volatile LONG g_platformId = 0;

constexpr LCID kUserDefaultLocale = 0x0400;
constexpr LCTYPE kDefaultAnsiCodePage = 0x1004;
constexpr LCTYPE kDefaultOemCodePage = 0x000B;

uint32_t QueryCodePage(LCTYPE type) {
  char buffer[kPathBufferChars] = {};
  if (GetLocaleInfoA(kUserDefaultLocale, type, buffer, sizeof buffer) == 0) return 0;
  buffer[sizeof buffer - 1] = '\0';
  uint32_t value = 0;
  for (const char* p = buffer; IsAsciiDigit(*p); ++p) {
    value = value * 10 + static_cast<uint32_t>(*p - '0');
    if (value > 0xFFFFFF) return 0;  // no code page is this large
  }
  return value;
}

std::wstring ToWide(UINT codePage, const char* text, size_t bufferChars) {
  if (text == nullptr || bufferChars == 0 || bufferChars > INT_MAX) return std::wstring();
  const int needed = MultiByteToWideChar(codePage, 0, text, -1, nullptr, 0);
  if (needed <= 0 || static_cast<size_t>(needed) > bufferChars) return std::wstring();
  std::vector<wchar_t> buffer(static_cast<size_t>(needed));
  if (MultiByteToWideChar(codePage, 0, text, -1, buffer.data(), needed) != needed) return std::wstring();
  return std::wstring(buffer.data());
}

}  // namespace

DWORD PlatformId() {
  if (g_familyKnown == 0) {
    OSVERSIONINFOA info = {};
    info.dwOSVersionInfoSize = sizeof info;  // 148
    static_assert(sizeof(OSVERSIONINFOA) == 148, "version record size");
    if (GetVersionExA(&info)) {
      InterlockedExchange(&g_platformId, static_cast<LONG>(info.dwPlatformId));
      InterlockedExchange(&g_familyKnown, 1);
    }
  }
  return static_cast<DWORD>(g_platformId);
}

bool IsWindowsNT() { return PlatformId() == VER_PLATFORM_WIN32_NT; }

uint32_t UserAnsiCodePage() { return QueryCodePage(kDefaultAnsiCodePage); }
uint32_t UserOemCodePage() { return QueryCodePage(kDefaultOemCodePage); }

std::wstring ToWideAnsi(const char* text, size_t bufferChars) { return ToWide(CP_ACP, text, bufferChars); }

std::wstring ToWideOem(const char* text, size_t bufferChars) { return ToWide(CP_OEMCP, text, bufferChars); }

std::string ToNarrowAnsi(const wchar_t* text, size_t bufferChars) {
  if (text == nullptr || bufferChars == 0 || bufferChars > INT_MAX) return std::string();
  BOOL usedDefault = FALSE;
  const int needed = WideCharToMultiByte(CP_ACP, 0, text, -1, nullptr, 0, nullptr, &usedDefault);
  if (needed <= 0 || usedDefault || static_cast<size_t>(needed) > bufferChars) return std::string();
  std::vector<char> buffer(static_cast<size_t>(needed));
  if (WideCharToMultiByte(CP_ACP, 0, text, -1, buffer.data(), needed, nullptr, &usedDefault) != needed ||
      usedDefault)
    return std::string();
  // A best-fit look-alike (a for ā) passes the default-character test; only
  // the way back shows it.
  std::string narrow(buffer.data());
  if (ToWide(CP_ACP, narrow.c_str(), kCommandLineChars) != text) return std::string();
  return narrow;
}

}  // namespace kq
