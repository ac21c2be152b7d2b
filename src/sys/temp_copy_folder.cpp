#include "sys/temp_copy_folder.h"

#include "text/mbcs_path.h"

namespace kq {

namespace {

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::string WithoutTrailingBackslash(std::string path, unsigned codePage) {
  // EndsWithBackslash vouches that the last byte is a backslash of its own.
  if (EndsWithBackslash(path, codePage)) path.pop_back();
  return path;
}

// Case-insensitive for ASCII letters that stand alone; the trail byte of a
// double-byte character (which may look like a letter) must match exactly.
bool SamePath(const std::string& a, const std::string& b, unsigned codePage) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (IsLeadByte(static_cast<unsigned char>(a[i]), codePage)) {
      if (i + 1 >= a.size() || a[i] != b[i] || a[i + 1] != b[i + 1]) return false;
      ++i;
      continue;
    }
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

}  // namespace

bool IsTempCopyFolder(const std::string& folder, const std::string& tempFolder, unsigned codePage) {
  const std::string path = WithoutTrailingBackslash(folder, codePage);
  const std::string name = NameOf(path, codePage);
  if (name.size() != 8 || !SamePath(name.substr(0, 4), "KIES", codePage)) return false;
  for (size_t i = 4; i < 8; ++i) {
    if (!IsHexDigit(name[i])) return false;
  }
  std::string parent = FolderOf(path, codePage);
  std::string temp = tempFolder;
  if (temp.empty() || parent.empty()) return false;
  AppendBackslash(temp, codePage);
  return SamePath(parent, temp, codePage);
}

}  // namespace kq
