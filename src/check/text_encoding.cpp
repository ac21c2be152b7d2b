#include "check/text_encoding.h"

#include <cstdint>
#include <vector>

#include "text/ansi_code_page.h"

namespace kq {

namespace {

void AppendUtf8(uint32_t c, std::string& out) {
  if (c < 0x80) {
    out += static_cast<char>(c);
  } else if (c < 0x800) {
    out += static_cast<char>(0xC0 | (c >> 6));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else if (c < 0x10000) {
    out += static_cast<char>(0xE0 | (c >> 12));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (c >> 18));
    out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (c & 0x3F));
  }
}

// UTF-16LE lines (after the byte order mark) as UTF-8; a line with an
// unpaired surrogate becomes text that is not UTF-8.
std::vector<std::string> Utf16Lines(const std::string& bytes) {
  std::vector<std::string> lines(1);
  for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
    uint32_t unit = static_cast<unsigned char>(bytes[at]) | static_cast<unsigned char>(bytes[at + 1]) << 8;
    if (unit == '\n') {
      lines.emplace_back();
      continue;
    }
    if (unit >= 0xD800 && unit < 0xDC00 && at + 3 < bytes.size()) {
      const uint32_t low = static_cast<unsigned char>(bytes[at + 2]) | static_cast<unsigned char>(bytes[at + 3]) << 8;
      if (low >= 0xDC00 && low < 0xE000) {
        unit = 0x10000 + ((unit - 0xD800) << 10) + (low - 0xDC00);
        at += 2;
      }
    }
    if (unit >= 0xD800 && unit < 0xE000) {
      lines.back() += '\xFF';  // never part of UTF-8
      continue;
    }
    if (unit != '\r') AppendUtf8(unit, lines.back());
  }
  return lines;
}

std::vector<std::string> ByteLines(const std::string& bytes, size_t start) {
  std::vector<std::string> lines(1);
  for (size_t at = start; at < bytes.size(); ++at) {
    if (bytes[at] == '\n') {
      lines.emplace_back();
    } else if (bytes[at] != '\r') {
      lines.back() += bytes[at];
    }
  }
  return lines;
}

// Well-formed UTF-8 (shortest forms, no surrogates) with at least one
// character outside ASCII.
bool IsUtf8BeyondAscii(const std::string& text) {
  bool beyond = false;
  for (size_t at = 0; at < text.size();) {
    const unsigned char lead = static_cast<unsigned char>(text[at]);
    size_t length = 1;
    uint32_t c = lead;
    if (lead >= 0xF0 && lead <= 0xF4) {
      length = 4;
      c = lead & 0x07;
    } else if (lead >= 0xE0) {
      length = 3;
      c = lead & 0x0F;
    } else if (lead >= 0xC2 && lead < 0xE0) {
      length = 2;
      c = lead & 0x1F;
    } else if (lead >= 0x80) {
      return false;
    }
    if (at + length > text.size()) return false;
    for (size_t i = 1; i < length; ++i) {
      const unsigned char next = static_cast<unsigned char>(text[at + i]);
      if ((next & 0xC0) != 0x80) return false;
      c = c << 6 | (next & 0x3F);
    }
    if ((length == 3 && (c < 0x800 || (c >= 0xD800 && c < 0xE000))) || (length == 4 && (c < 0x10000 || c > 0x10FFFF)))
      return false;
    beyond = beyond || length > 1;
    at += length;
  }
  return beyond;
}

Finding EncodingError(const std::string& file, int line, std::string message) {
  return Finding{file, line, Rule::kEncoding, std::move(message)};
}

}  // namespace

void CheckTextEncoding(const std::string& bytes, unsigned codePage, const std::string& file, Findings& findings) {
  const std::string page = "code page " + std::to_string(codePage);
  const bool utf16 = bytes.size() >= 2 && bytes[0] == '\xFF' && bytes[1] == '\xFE';
  const bool utf8 = bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0;
  if (utf16 || utf8) {
    const std::vector<std::string> lines = utf16 ? Utf16Lines(bytes) : ByteLines(bytes, 3);
    for (size_t i = 0; i < lines.size(); ++i) {
      if (Utf8FitsCodePage(lines[i], codePage)) continue;
      findings.push_back(EncodingError(
          file, static_cast<int>(i) + 1,
          IsUtf8BeyondAscii(lines[i]) || utf16
              ? "this line holds a character that " + page +
                    " (the target systems' ANSI code page) cannot hold; "
                    "SETUP.EXE stops with a load error: write the text with characters of " +
                    page
              : std::string("this line is not UTF-8 although the file starts with the UTF-8 byte order mark; "
                            "save the file as UTF-8 again")));
    }
    return;
  }
  // Big-endian UTF-16 (mark FE FF, or a zero before each ASCII byte) is read
  // as ANSI bytes: the parser finds no section at all.
  const bool bigEndianMark = bytes.size() >= 2 && bytes[0] == '\xFE' && bytes[1] == '\xFF';
  if (bigEndianMark || (bytes.size() >= 2 && bytes[0] == '\0' && bytes[1] != '\0')) {
    findings.push_back(EncodingError(file, 1,
                                     "the file is UTF-16 big-endian, which SETUP.EXE cannot read (it reads "
                                     "UTF-16 little-endian only); save it as UTF-16 little-endian with a byte order "
                                     "mark (\"Unicode\" in Notepad) or as UTF-8 with a byte order mark"));
    return;
  }
  // UTF-16 without its mark: every other byte of ASCII text is zero, and the
  // INI parser stumbles over the zeros on the first line.
  if (bytes.size() >= 2 && (bytes[0] == '\0') != (bytes[1] == '\0')) {
    findings.push_back(EncodingError(file, 1,
                                     "the file is UTF-16 without a byte order mark, which SETUP.EXE cannot read; "
                                     "save it as UTF-16 with a byte order mark (\"Unicode\" in Notepad)"));
    return;
  }
  const std::vector<std::string> lines = ByteLines(bytes, 0);
  int firstUtf8Line = 0;
  bool allUtf8 = true;
  for (size_t i = 0; i < lines.size(); ++i) {
    std::string utf8Text;
    if (!CodePageToUtf8(lines[i], codePage, utf8Text)) {
      findings.push_back(EncodingError(file, static_cast<int>(i) + 1,
                                       "this line is not valid text in " + page +
                                           "; save the file in that code page, or as UTF-8 with a byte order mark"));
      allUtf8 = false;
      continue;
    }
    if (utf8Text == lines[i]) continue;  // ASCII
    if (IsUtf8BeyondAscii(lines[i])) {
      if (firstUtf8Line == 0) firstUtf8Line = static_cast<int>(i) + 1;
    } else {
      allUtf8 = false;
    }
  }
  if (firstUtf8Line != 0 && allUtf8 && codePage != 65001)
    findings.push_back(Finding{file, firstUtf8Line, Rule::kUtf8WithoutBom,
                               "the file reads as UTF-8 but has no byte order mark, so SETUP.EXE takes each byte as a "
                               "character of " +
                                   page + "; save it as UTF-8 with a byte order mark"});
}

}  // namespace kq
