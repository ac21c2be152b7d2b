#include "ini/tchar_stream.h"

#include <climits>
#include <cstring>

#include "text/ansi_code_page.h"

namespace kq {

namespace {

constexpr unsigned char kBom[2] = {0xFF, 0xFE};
constexpr unsigned char kUtf8Bom[3] = {0xEF, 0xBB, 0xBF};
// Longest line accepted: the length must fit the signed 32-bit result.
constexpr size_t kMaxLineChars = LONG_MAX / 2;

bool IsHighSurrogate(char32_t unit) { return unit >= 0xD800 && unit <= 0xDBFF; }
bool IsLowSurrogate(char32_t unit) { return unit >= 0xDC00 && unit <= 0xDFFF; }

void AppendUtf8(char32_t c, std::string& out) {
  if (c < 0x80) {
    out.push_back(static_cast<char>(c));
  } else if (c < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (c >> 6)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else if (c < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (c >> 12)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (c >> 18)));
    out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
  }
}

// UTF-16 code units to UTF-8; false on a surrogate without its partner.
bool Utf16ToUtf8(const std::u16string& units, std::string& utf8) {
  utf8.clear();
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (IsHighSurrogate(c) && i + 1 < units.size() && IsLowSurrogate(units[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (IsHighSurrogate(c) || IsLowSurrogate(c)) {
      return false;
    }
    AppendUtf8(c, utf8);
  }
  return true;
}

// UTF-8 (as AnsiToUtf8 makes it) to UTF-16LE bytes; false on anything that
// is not well-formed UTF-8.
bool Utf8ToUtf16Bytes(const std::string& utf8, std::string& bytes) {
  auto put = [&](char32_t unit) {
    bytes.push_back(static_cast<char>(unit & 0xFF));
    bytes.push_back(static_cast<char>(unit >> 8));
  };
  for (size_t i = 0; i < utf8.size();) {
    const unsigned char lead = static_cast<unsigned char>(utf8[i]);
    const size_t length = lead < 0x80 ? 1 : lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : lead >= 0xC0 ? 2 : 0;
    if (length == 0 || i + length > utf8.size()) return false;
    char32_t c = length == 1 ? lead : lead & (0x7F >> length);
    for (size_t k = 1; k < length; ++k) {
      const unsigned char next = static_cast<unsigned char>(utf8[i + k]);
      if ((next & 0xC0) != 0x80) return false;
      c = (c << 6) | (next & 0x3F);
    }
    if (c > 0x10FFFF || IsHighSurrogate(c) || IsLowSurrogate(c)) return false;
    if (c >= 0x10000) {
      put(0xD800 + ((c - 0x10000) >> 10));
      put(0xDC00 + ((c - 0x10000) & 0x3FF));
    } else {
      put(c);
    }
    i += length;
  }
  return true;
}

}  // namespace

CTCharStream::~CTCharStream() { Close(); }

bool CTCharStream::Close() {
  bool closed = true;
  if (file_) closed = file_->Close();
  file_.reset();
  mode_ = kModeRead;
  encoding_ = kEncodingNone;
  position_ = 0;
  return closed;
}

bool CTCharStream::OpenStream(const char* fileName, int mode) {
  if (!Close()) return false;
  if (fileName == nullptr || mode < kModeRead || mode > kModeWriteUtf8) {
    SetIniLastError(kIniErrorInvalidParameter);
    return false;
  }
  std::unique_ptr<IniByteFile> file =
      opener_.Open(fileName, mode == kModeRead ? IniOpenMode::kRead : IniOpenMode::kWrite);
  if (!file) return false;

  int encoding = kEncodingAnsi;
  uint64_t position = 0;
  if (mode == kModeRead) {
    unsigned char head[3] = {0, 0, 0};
    uint32_t got = 0;
    if (!file->Read(head, sizeof head, got)) return false;  // the file closes as it goes
    if (got >= 2 && std::memcmp(head, kBom, 2) == 0) {
      encoding = kEncodingUtf16;
      position = 2;
    } else if (got == 3 && std::memcmp(head, kUtf8Bom, 3) == 0) {
      encoding = kEncodingUtf8;
      position = 3;
    }
    if (got != position && !file->Seek(position)) return false;
  } else if (mode == kModeWriteUtf16) {
    encoding = kEncodingUtf16;
    if (!file->Write(kBom, sizeof kBom)) return false;
  } else if (mode == kModeWriteUtf8) {
    encoding = kEncodingUtf8;
    if (!file->Write(kUtf8Bom, sizeof kUtf8Bom)) return false;
  }
  file_ = std::move(file);
  mode_ = mode;
  encoding_ = encoding;
  position_ = position;
  return true;
}

bool CTCharStream::Fail(uint32_t error, long* length) {
  if (length != nullptr) *length = 0;
  SetIniLastError(error);
  return false;
}

bool CTCharStream::ReadLine(char* buffer, long* length) {
  if (!file_) return Fail(kIniErrorInvalidHandle, length);
  if (buffer == nullptr || length == nullptr || *length < 0) return Fail(kIniErrorInvalidData, length);
  if (encoding_ != kEncodingAnsi && encoding_ != kEncodingUtf16 && encoding_ != kEncodingUtf8)
    return Fail(kIniErrorInvalidData, length);
  const size_t capacity = static_cast<size_t>(*length);
  *length = 0;

  const uint64_t lineStart = position_;
  uint64_t lineBytes = 0;   // bytes of the file that belong to this line
  size_t characters = 0;    // characters consumed, line feed included
  bool complete = false;    // the line feed was seen
  bool cut = false;         // a carriage return or NUL ended the text
  line_.clear();
  units_.clear();

  // Zero-filled with room for a terminator, as the chunk is examined as text.
  unsigned char chunk[kChunkBytes + 2];
  while (!complete) {
    std::memset(chunk, 0, sizeof chunk);
    uint32_t got = 0;
    if (!file_->Read(chunk, kChunkBytes, got)) {
      const uint32_t error = GetIniLastError();
      file_->Seek(lineStart);
      position_ = lineStart;
      return Fail(error, length);
    }
    if (got == 0) break;

    uint32_t used = got;  // bytes of this chunk that belong to the line
    if (encoding_ != kEncodingUtf16) {
      // ANSI and UTF-8 alike: a line feed, carriage return or NUL byte is
      // always that character.
      const void* feed = std::memchr(chunk, '\n', got);
      const size_t end = feed ? static_cast<size_t>(static_cast<const unsigned char*>(feed) - chunk) : got;
      if (!cut) {
        size_t keep = 0;
        while (keep < end && chunk[keep] != '\r' && chunk[keep] != '\0') ++keep;
        line_.append(reinterpret_cast<const char*>(chunk), keep);
        cut = keep < end;
      }
      characters += feed ? end + 1 : end;
      if (feed) {
        used = static_cast<uint32_t>(end + 1);
        complete = true;
      }
    } else {
      // A file that ends inside a character leaves one odd byte: it is no
      // character, and is skipped.
      const size_t units = got / 2;
      size_t end = units;
      for (size_t i = 0; i < units; ++i) {
        if (chunk[2 * i] == '\n' && chunk[2 * i + 1] == 0) {
          end = i;
          complete = true;
          break;
        }
      }
      for (size_t i = 0; i < end && !cut; ++i) {
        const unsigned wide = chunk[2 * i] | (static_cast<unsigned>(chunk[2 * i + 1]) << 8);
        if (wide == '\r' || wide == 0) {
          cut = true;
        } else {
          units_.push_back(static_cast<char16_t>(wide));
        }
      }
      characters += complete ? end + 1 : end;
      if (complete) used = static_cast<uint32_t>(2 * (end + 1));
    }
    lineBytes += used;
    if (line_.size() > kMaxLineChars || units_.size() > kMaxLineChars / 3) {
      file_->Seek(lineStart);
      position_ = lineStart;
      return Fail(kIniErrorInvalidData, length);
    }
    if (complete && used < got && !file_->Seek(lineStart + lineBytes)) {
      const uint32_t error = GetIniLastError();
      file_->Seek(lineStart);
      position_ = lineStart;
      return Fail(error, length);
    }
  }
  position_ = lineStart + lineBytes;

  if (characters == 0) {
    *length = -1;
    return true;
  }
  // UTF-16 goes the way UTF-8 goes: through the wide form into the ANSI
  // code page, refusing what the code page cannot hold.
  if (encoding_ == kEncodingUtf16 && !Utf16ToUtf8(units_, line_)) {
    file_->Seek(lineStart);
    position_ = lineStart;
    return Fail(kIniErrorNoUnicodeTranslation, length);
  }
  if (encoding_ == kEncodingUtf8 || encoding_ == kEncodingUtf16) {
    std::string ansi;
    if (!Utf8ToAnsi(line_, ansi)) {
      file_->Seek(lineStart);
      position_ = lineStart;
      return Fail(kIniErrorNoUnicodeTranslation, length);
    }
    line_.swap(ansi);
  }
  if (line_.size() > capacity) {
    // Too long for the caller's buffer: report the size and stand at the
    // start of the line again so that the caller can read it once more.
    if (!file_->Seek(lineStart)) return Fail(GetIniLastError(), length);
    position_ = lineStart;
    *length = static_cast<long>(line_.size());
    SetIniLastError(kIniErrorSuccess);
    return false;
  }
  std::memcpy(buffer, line_.data(), line_.size());
  buffer[line_.size()] = '\0';
  *length = static_cast<long>(line_.size());
  return true;
}

bool CTCharStream::WriteLine(const std::string& text) {
  if (!file_ || mode_ == kModeRead) {
    SetIniLastError(kIniErrorInvalidHandle);
    return false;
  }
  std::string bytes;
  if (encoding_ == kEncodingAnsi) {
    bytes.reserve(text.size() + 2);
    bytes = text;
    bytes += "\r\n";
  } else if (encoding_ == kEncodingUtf8) {
    if (!AnsiToUtf8(text, bytes)) {
      SetIniLastError(kIniErrorNoUnicodeTranslation);
      return false;
    }
    bytes += "\r\n";
  } else if (encoding_ == kEncodingUtf16) {
    std::string utf8;
    if (!AnsiToUtf8(text, utf8) || !Utf8ToUtf16Bytes(utf8, bytes)) {
      SetIniLastError(kIniErrorNoUnicodeTranslation);
      return false;
    }
    bytes.append("\r\0\n\0", 4);
  } else {
    SetIniLastError(kIniErrorInvalidHandle);
    return false;
  }
  if (bytes.size() > UINT32_MAX) {
    SetIniLastError(kIniErrorInvalidData);
    return false;
  }
  return file_->Write(bytes.data(), static_cast<uint32_t>(bytes.size()));
}

}  // namespace kq
