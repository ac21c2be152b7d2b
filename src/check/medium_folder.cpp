#include "check/medium_folder.h"

#include <algorithm>
#include <cstdio>

#include "text/ascii_text.h"
#include "text/mbcs_path.h"

namespace kq {

bool MediumFolder::ReadFile(const std::string& path, std::string& bytes) {
  bytes.clear();
  std::FILE* file = std::fopen(path.c_str(), "rb");
  if (file == nullptr) return false;
  char buffer[4096];
  size_t read = 0;
  while ((read = std::fread(buffer, 1, sizeof buffer, file)) > 0) bytes.append(buffer, read);
  const bool ok = std::ferror(file) == 0;
  std::fclose(file);
  return ok;
}

bool IsIniName(const std::string& name) {
  return name.size() > 4 && EqualsNoCase(name.substr(name.size() - 4), ".INI");
}

void SortNames(std::vector<std::string>& names) {
  std::sort(names.begin(), names.end(), [](const std::string& a, const std::string& b) {
    const std::string upperA = UpperCaseAscii(a);
    const std::string upperB = UpperCaseAscii(b);
    return upperA != upperB ? upperA < upperB : a < b;
  });
}

std::string RelativeFolder(const std::string& relative) {
  // In the target code page: a trail byte 0x5C ends no folder.
  return FolderOf(WindowsName(relative));
}

std::string WindowsName(const std::string& relative) {
  std::string name = relative;
  for (char& c : name) {
    if (c == '/') c = '\\';
  }
  return name;
}

}  // namespace kq
