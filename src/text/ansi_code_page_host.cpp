#include "text/ansi_code_page.h"

#include <iconv.h>

#include <string>

#include "text/mbcs_path.h"

namespace kq {

namespace {

unsigned g_hostCodePage = 1252;

// Converts all of `text` with iconv; false on any sequence it cannot take.
bool Convert(const std::string& from, const std::string& to, const std::string& text, std::string& out) {
  out.clear();
  iconv_t cd = iconv_open(to.c_str(), from.c_str());
  if (cd == reinterpret_cast<iconv_t>(-1)) return false;
  std::string input = text;
  char* in = input.empty() ? nullptr : &input[0];
  size_t inLeft = input.size();
  bool ok = true;
  char buffer[256];
  while (ok && inLeft > 0) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    const size_t done = iconv(cd, &in, &inLeft, &outPtr, &outLeft);
    out.append(buffer, sizeof buffer - outLeft);
    if (done == static_cast<size_t>(-1) && outLeft == sizeof buffer) ok = false;
  }
  if (ok) {
    char* outPtr = buffer;
    size_t outLeft = sizeof buffer;
    ok = iconv(cd, nullptr, nullptr, &outPtr, &outLeft) != static_cast<size_t>(-1);
    out.append(buffer, sizeof buffer - outLeft);
  }
  iconv_close(cd);
  if (!ok) out.clear();
  return ok;
}

std::string HostCharset() { return "CP" + std::to_string(g_hostCodePage); }

}  // namespace

unsigned SystemAnsiCodePage() { return g_hostCodePage; }

void SetHostAnsiCodePage(unsigned codePage) { g_hostCodePage = codePage == 0 ? 1252 : codePage; }

void SetTextCodePage(unsigned codePage) { SetHostAnsiCodePage(codePage); }

bool IsSystemLeadByte(unsigned char byte) { return IsLeadByte(byte, g_hostCodePage); }

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  std::string back;
  if (Convert("UTF-8", HostCharset(), utf8, ansi) && Convert(HostCharset(), "UTF-8", ansi, back) && back == utf8)
    return true;
  ansi.clear();
  return false;
}

bool AnsiToUtf8(const std::string& ansi, std::string& utf8) { return Convert(HostCharset(), "UTF-8", ansi, utf8); }

bool IsKnownCodePage(unsigned codePage) {
  std::string utf8;
  return Convert("CP" + std::to_string(codePage), "UTF-8", "A", utf8);
}

bool Utf8FitsCodePage(const std::string& utf8, unsigned codePage) {
  const std::string charset = "CP" + std::to_string(codePage);
  std::string narrow;
  std::string back;
  return Convert("UTF-8", charset, utf8, narrow) && Convert(charset, "UTF-8", narrow, back) && back == utf8;
}

bool CodePageToUtf8(const std::string& text, unsigned codePage, std::string& utf8) {
  return Convert("CP" + std::to_string(codePage), "UTF-8", text, utf8);
}

}  // namespace kq
