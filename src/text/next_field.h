#pragma once
#include <string>

namespace kq {

// How NextField treats double quotes.
enum class QuoteMode {
  kKeep = 0,    // quotes stay in the token (command-line property words)
  kRemove = 1,  // quotes are removed; quoted and unquoted text may not mix
};

// Takes the first field off the front of `source` (changed in place) and
// stores it, trimmed, in `token`. A field ends at the first occurrence of
// `separator`; double quotes protect separators inside them. Returns false
// for a malformed field; `source` may then have lost what was consumed.
bool NextField(std::string& source, std::string& token, const char* separator = ",",
               QuoteMode mode = QuoteMode::kKeep);

// Space, tab, line feed, vertical tab, form feed and carriage return.
bool IsBlank(char c);
void TrimBlanks(std::string& text);

}  // namespace kq
