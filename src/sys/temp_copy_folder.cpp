#include "sys/temp_copy_folder.h"

#include "text/ascii_text.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F') || (c >= 'a' && c <= 'f');
}

std::string WithoutTrailingBackslash(std::string path, unsigned codePage) {
  // EndsWithBackslash vouches that the last byte is a backslash of its own.
  if (EndsWithBackslash(path, codePage)) path.pop_back();
  return path;
}

}  // namespace

bool IsTempCopyFolder(const std::string& folder, const std::string& tempFolder, unsigned codePage) {
  const std::string path = WithoutTrailingBackslash(folder, codePage);
  const std::string name = NameOf(path, codePage);
  if (name.size() != 8 || !EqualsNoCase(name.substr(0, 4), "KIES", codePage)) return false;
  for (size_t i = 4; i < 8; ++i) {
    if (!IsHexDigit(name[i])) return false;
  }
  std::string parent = FolderOf(path, codePage);
  std::string temp = tempFolder;
  if (temp.empty() || parent.empty()) return false;
  AppendBackslash(temp, codePage);
  return EqualsNoCase(parent, temp, codePage);
}

}  // namespace kq
