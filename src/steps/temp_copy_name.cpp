#include "steps/temp_copy.h"

#include "sys/format.h"
#include "text/ascii_text.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

constexpr char kNamePrefix[] = "KIES";
constexpr size_t kPrefixLength = sizeof(kNamePrefix) - 1;
constexpr size_t kDigits = 4;

std::string WithoutTrailingBackslash(std::string path, unsigned codePage) {
  // EndsWithBackslash vouches that the last byte is a backslash of its own.
  if (EndsWithBackslash(path, codePage)) path.pop_back();
  return path;
}

}  // namespace

std::string TempCopyFolderName(unsigned number) { return Format("%s%04X", kNamePrefix, number & 0xFFFFu); }

std::string TempCopySearchPattern(const std::string& tempFolder) { return JoinPath(tempFolder, std::string(kNamePrefix) + "*"); }

bool IsTempCopyFolder(const std::string& folder, const std::string& tempFolder, unsigned codePage) {
  const std::string path = WithoutTrailingBackslash(folder, codePage);
  const std::string name = NameOf(path, codePage);
  if (name.size() != kPrefixLength + kDigits || !EqualsNoCase(name.substr(0, kPrefixLength), kNamePrefix, codePage))
    return false;
  for (size_t i = kPrefixLength; i < name.size(); ++i) {
    if (!IsHexDigit(name[i])) return false;
  }
  std::string parent = FolderOf(path, codePage);
  std::string temp = tempFolder;
  if (temp.empty() || parent.empty()) return false;
  AppendBackslash(temp, codePage);
  return EqualsNoCase(parent, temp, codePage);
}

}  // namespace kq
