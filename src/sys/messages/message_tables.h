#pragma once
// The generated tables (built from the .txt files of this folder).
#include <cstddef>
#include <cstdint>
#include <string>

#include "sys/messages.h"

namespace kq {

// The language list, in selection order, ended by language 0.
extern const MessageLanguage kMessageLanguageList[];

// Every table's ids, in table order (the same for every table).
constexpr size_t kMessagesPerTable = 15;
extern const uint32_t kMessageTableIds[kMessagesPerTable];

// All tables' texts, packed (see generate_message_tables.py for the form):
// unpacked, each text is ended by a zero byte, and a language's texts lie at
// [textsBegin, textsEnd).
extern const unsigned char kPackedMessages[];
extern const size_t kPackedMessagesSize;

// The first `length` bytes (or more) of the packed stream unpacked; it stops
// early, without reading or writing past anything, where the stream ends or
// is broken.
std::string UnpackMessages(const unsigned char* packed, size_t size, size_t length);

// The UTF-8 text each table entry was converted from (unit tests only),
// ended by an entry whose text is null.
struct MessageSourceText {
  uint32_t language;
  uint32_t id;
  const char* utf8;
};
extern const MessageSourceText kMessageSourcesUtf8[];

}  // namespace kq
