#include "text/mbcs_path.h"

#include <cstring>

#include "text/ansi_code_page.h"

namespace kq {

namespace {

// The trail bytes of every double-byte code page start at 0x40.
constexpr unsigned char kLowestTrailByte = 0x40;

struct LeadByteRange {
  unsigned char first;
  unsigned char last;
};

// The lead-byte ranges of the double-byte code pages, as their CPINFO
// LeadByte tables give them.
constexpr LeadByteRange kShiftJis[] = {{0x81, 0x9F}, {0xE0, 0xFC}};  // 932
constexpr LeadByteRange kHighHalf[] = {{0x81, 0xFE}};                // 936, 949, 950

template <size_t N>
bool InRanges(unsigned char byte, const LeadByteRange (&ranges)[N]) {
  for (const LeadByteRange& range : ranges) {
    if (byte >= range.first && byte <= range.last) return true;
  }
  return false;
}

// Offset of the last character that is `a` or `b`, npos if none.
size_t FindLastOf(const std::string& path, char a, char b, unsigned codePage) {
  size_t found = std::string::npos;
  for (size_t at = 0; at < path.size(); at += CharLengthAt(path, at, codePage)) {
    if (path[at] == a || path[at] == b) found = at;
  }
  return found;
}

// End of the folder part: one past its last separator, or 2 after a bare
// drive ("C:name"), or 0.
size_t FolderEnd(const std::string& path, unsigned codePage) {
  const size_t separator = FindLastOf(path, '\\', '/', codePage);
  if (separator != std::string::npos) return separator + 1;
  // ':' is below every trail byte, so path[1] is a character of its own.
  if (path.size() >= 2 && path[1] == ':' && !IsLeadByte(static_cast<unsigned char>(path[0]), codePage)) return 2;
  return 0;
}

}  // namespace

bool IsLeadByte(unsigned char byte, unsigned codePage) {
  switch (codePage) {
    case 0:
      return IsSystemLeadByte(byte);
    case 932:
      return InRanges(byte, kShiftJis);
    case 936:
    case 949:
    case 950:
      return InRanges(byte, kHighHalf);
    default:
      return false;
  }
}

size_t CharLengthAt(const std::string& text, size_t offset, unsigned codePage) {
  if (offset + 1 < text.size() && static_cast<unsigned char>(text[offset + 1]) >= kLowestTrailByte &&
      IsLeadByte(static_cast<unsigned char>(text[offset]), codePage))
    return 2;
  return 1;
}

size_t FindCharacter(const std::string& text, const char* set, size_t from, unsigned codePage) {
  if (set == nullptr) return std::string::npos;
  for (size_t at = from; at < text.size(); at += CharLengthAt(text, at, codePage)) {
    if (text[at] != '\0' && std::strchr(set, text[at]) != nullptr) return at;
  }
  return std::string::npos;
}

size_t FindLastBackslash(const std::string& path, unsigned codePage) {
  return FindLastOf(path, '\\', '\\', codePage);
}

std::string FolderOf(const std::string& path, unsigned codePage) {
  return path.substr(0, FolderEnd(path, codePage));
}

std::string NameOf(const std::string& path, unsigned codePage) {
  return path.substr(FolderEnd(path, codePage));
}

bool EndsWithBackslash(const std::string& path, unsigned codePage) {
  const size_t last = FindLastBackslash(path, codePage);
  return last != std::string::npos && last + 1 == path.size();
}

void AppendBackslash(std::string& path, unsigned codePage) {
  if (!EndsWithBackslash(path, codePage)) path += '\\';
}

std::string JoinPath(const std::string& folder, const std::string& name, unsigned codePage) {
  if (folder.empty() || EndsWithBackslash(folder, codePage) || folder.back() == '/') return folder + name;
  return folder + '\\' + name;
}

std::string QuotedPath(const std::string& path) { return '"' + path + '"'; }

std::string ProgramWord(const std::string& path) {
  return path.find_first_of(" \t") != std::string::npos ? QuotedPath(path) : path;
}

std::string ReplaceBackslashes(const std::string& text, char replacement, unsigned codePage) {
  std::string replaced = text;
  for (size_t at = 0; at < text.size(); at += CharLengthAt(text, at, codePage)) {
    if (text[at] == '\\') replaced[at] = replacement;
  }
  return replaced;
}

}  // namespace kq
