#pragma once
// The generated tables (built from the .txt files of this folder).
#include <cstdint>

#include "sys/messages.h"

namespace kq {

// The language list, in selection order, ended by language 0.
extern const MessageLanguage kMessageLanguageList[];

// The UTF-8 text each table entry was converted from (unit tests only),
// ended by an entry whose text is null.
struct MessageSourceText {
  uint32_t language;
  uint32_t id;
  const char* utf8;
};
extern const MessageSourceText kMessageSourcesUtf8[];

}  // namespace kq
