#include "text/next_field.h"

#include <cstring>

namespace kq {

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

void TrimBlanks(std::string& text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  size_t begin = 0;
  while (begin < end && IsBlank(text[begin])) ++begin;
  text.assign(text, begin, end - begin);
}

namespace {

// Moves source[0, count) to the end of the token.
void Take(std::string& source, std::string& token, size_t count) {
  token.append(source, 0, count);
  source.erase(0, count);
}

}  // namespace

bool NextField(std::string& source, std::string& token, const char* separator, QuoteMode mode) {
  if (separator == nullptr || *separator == '\0') separator = ",";
  const bool removeQuotes = mode == QuoteMode::kRemove;
  token.clear();
  TrimBlanks(source);
  bool inQuote = false;
  bool afterQuote = false;

  auto split = [&](size_t p) {
    if (removeQuotes && !token.empty() && p > 0) return false;
    Take(source, token, p);
    source.erase(0, 1);  // the one separator character
    // The rest is left trimmed too, so that "a , b" leaves "b" and a list
    // ending in a separator and blanks is used up.
    TrimBlanks(source);
    return true;
  };

  while (!source.empty()) {
    const size_t q = source.find('"');
    const size_t p = source.find(separator);
    if (inQuote) {
      if (q == std::string::npos) return false;
      Take(source, token, q);
      if (!removeQuotes) token.push_back('"');
      source.erase(0, 1);
      inQuote = false;
      afterQuote = true;
    } else if (q == std::string::npos) {
      if (p != std::string::npos) {
        if (!split(p)) return false;
        break;
      }
      if (removeQuotes && !token.empty()) return false;
      Take(source, token, source.size());
    } else {
      if (p != std::string::npos && p < q) {
        if (!split(p)) return false;
        break;
      }
      if (removeQuotes) {
        if (q != 0) return false;
        if (afterQuote) {
          token.push_back('"');
        } else if (!token.empty()) {
          return false;
        }
        source.erase(0, 1);
      } else {
        Take(source, token, q + 1);
      }
      inQuote = true;
      afterQuote = false;
    }
  }
  // An opening quote whose closing quote never came is malformed, even when
  // nothing follows it.
  if (inQuote) return false;
  TrimBlanks(token);
  return true;
}

}  // namespace kq
