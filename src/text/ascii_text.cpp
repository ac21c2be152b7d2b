#include "text/ascii_text.h"

#include "text/mbcs_path.h"

namespace kq {

namespace {

template <char (*Fold)(char)>
std::string FoldStandingAlone(const std::string& text, unsigned codePage) {
  std::string folded = text;
  for (size_t at = 0; at < text.size(); at += CharLengthAt(text, at, codePage)) folded[at] = Fold(text[at]);
  return folded;
}

}  // namespace

bool IsAsciiDigit(char c) { return c >= '0' && c <= '9'; }

bool IsAsciiLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

bool IsHexDigit(char c) { return HexDigitValue(c) >= 0; }

int HexDigitValue(char c) {
  if (IsAsciiDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

char ToUpperAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

char ToLowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

std::string UpperCaseAscii(const std::string& text, unsigned codePage) {
  return FoldStandingAlone<ToUpperAscii>(text, codePage);
}

std::string LowerCaseAscii(const std::string& text, unsigned codePage) {
  return FoldStandingAlone<ToLowerAscii>(text, codePage);
}

bool EqualsNoCase(const std::string& a, const std::string& b, unsigned codePage) {
  if (a.size() != b.size()) return false;
  for (size_t at = 0; at < a.size();) {
    const size_t length = CharLengthAt(a, at, codePage);
    if (length == 1) {
      if (ToUpperAscii(a[at]) != ToUpperAscii(b[at])) return false;
    } else if (a.compare(at, length, b, at, length) != 0) {
      return false;
    }
    at += length;
  }
  return true;
}

}  // namespace kq
