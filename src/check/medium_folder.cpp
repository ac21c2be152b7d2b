#include "check/medium_folder.h"

#include <cstdio>

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
