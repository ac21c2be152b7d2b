#pragma once
// Line-oriented access to an INI file in ANSI, UTF-16LE (with the byte
// order mark FF FE) or UTF-8 (with the byte order mark EF BB BF). Reading
// converts UTF-16LE and UTF-8 alike to the ANSI code page (through the wide
// form), refusing a character the code page cannot hold exactly; writing
// converts back and ends every line with CR LF in the file's encoding.
#include <cstdint>
#include <memory>
#include <string>

#include "ini/ini_byte_file.h"

namespace kq {

class CTCharStream {
 public:
  enum Mode { kModeRead = 0, kModeWriteAnsi = 1, kModeWriteUtf16 = 2, kModeWriteUtf8 = 3 };
  enum Encoding { kEncodingNone = 0, kEncodingAnsi = 1, kEncodingUtf16 = 2, kEncodingUtf8 = 3 };

  // Files are read in chunks of this size; one seek back per line puts the
  // position just after the line feed.
  static constexpr uint32_t kChunkBytes = 256;

  explicit CTCharStream(IniFileOpener& opener = PlatformFileOpener()) : opener_(opener) {}
  virtual ~CTCharStream();
  CTCharStream(const CTCharStream&) = delete;
  CTCharStream& operator=(const CTCharStream&) = delete;

  // Mode 0 opens an existing file and detects its encoding by its byte
  // order mark; modes 1 to 3 create or truncate it (modes 2 and 3 write the
  // byte order mark). Closes an
  // open file first; fails when that close fails.
  bool OpenStream(const char* fileName, int mode);

  // On entry *length is the capacity of `buffer` in characters, without the
  // terminating NUL. Results:
  //   true,  *length == -1: end of file;
  //   true,  *length == n:  the next line, without its line end, NUL-terminated;
  //   false, *length > capacity: the line needs that many characters; the
  //          stream stands again at the start of the line;
  //   false, *length == 0: failure, the reason in the last error (6 not open,
  //          13 bad arguments, 1113 a UTF-8 or UTF-16 line that is not
  //          well formed or holds a character the ANSI code page cannot
  //          represent, else the read error); the stream stands
  //          at the start of the line.
  // A line's text ends at its first carriage return or NUL; what follows up
  // to the line feed is dropped.
  bool ReadLine(char* buffer, long* length);

  // Appends the text and CR LF. False when closed, not open for writing,
  // when the text is not valid in the ANSI code page of a UTF-8 or UTF-16
  // file (1113),
  // or when the write fails.
  bool WriteLine(const std::string& text);

  // False when the system reports a failure to close (data may be lost).
  bool Close();
  int GetEncoding() const { return file_ ? encoding_ : kEncodingNone; }
  int GetMode() const { return mode_; }

 private:
  bool Fail(uint32_t error, long* length);

  IniFileOpener& opener_;
  std::unique_ptr<IniByteFile> file_;
  int mode_ = kModeRead;
  int encoding_ = kEncodingNone;
  uint64_t position_ = 0;  // byte position of the next read
  std::string line_;       // reused accumulator
  std::u16string units_;   // the code units of a UTF-16 line
};

}  // namespace kq
