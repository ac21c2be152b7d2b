// Feeds arbitrary text through NextField in both quote modes and checks its
// invariants: a successful call never grows the text, the token is trimmed,
// and in keep mode an unquoted separator never ends up in a token.
#include <cstdint>
#include <cstdlib>
#include <string>

#include "text/next_field.h"

namespace {

void Check(bool condition) {
  if (!condition) std::abort();
}

bool SeparatorOutsideQuotes(const std::string& token, char separator) {
  bool quoted = false;
  for (char c : token) {
    if (c == '"') quoted = !quoted;
    if (!quoted && c == separator) return true;
  }
  return false;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  if (size < 1) return 0;
  const char separators[] = {',', ' ', '|'};
  const char separator[2] = {separators[data[0] % 3], '\0'};
  const kq::QuoteMode mode = (data[0] & 4) ? kq::QuoteMode::kRemove : kq::QuoteMode::kKeep;
  std::string source(reinterpret_cast<const char*>(data + 1), size - 1);
  std::string token;
  for (int guard = 0; guard < 10000 && !source.empty(); ++guard) {
    const size_t before = source.size();
    if (!kq::NextField(source, token, separator, mode)) break;
    Check(source.size() < before);                      // progress: the text shrinks
    Check(token.size() + source.size() <= before);      // nothing was added
    Check(token.empty() || (!kq::IsBlank(token.front()) && !kq::IsBlank(token.back())));
    if (mode == kq::QuoteMode::kKeep) Check(!SeparatorOutsideQuotes(token, separator[0]));
  }
  return 0;
}
