#include <dirent.h>
#include <strings.h>
#include <sys/stat.h>

#include "check/medium_folder.h"
#include "sys/ansi_code_page.h"

namespace kq {

namespace {

bool IsDirectory(const std::string& path) {
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The entry of `folder` named `part` in any letter case, the exact name first.
bool FindEntry(const std::string& folder, const std::string& part, std::string& found) {
  struct stat info {};
  if (stat((folder + "/" + part).c_str(), &info) == 0) {
    found = part;
    return true;
  }
  DIR* directory = opendir(folder.c_str());
  if (directory == nullptr) return false;
  bool matched = false;
  while (const dirent* entry = readdir(directory)) {
    if (strcasecmp(entry->d_name, part.c_str()) == 0) {
      found = entry->d_name;
      matched = true;
      break;
    }
  }
  closedir(directory);
  return matched;
}

}  // namespace

bool MediumFolder::Exists() const { return IsDirectory(root_); }

bool MediumFolder::FindFile(const std::string& relative, std::string& path) const {
  // Names in setup data are text of the target systems' ANSI code page, as
  // SETUP.EXE reads them; this file system names files in UTF-8.
  std::string name;
  if (!AnsiToUtf8(WindowsName(relative), name)) return false;
  std::string current = root_;
  size_t begin = 0;
  while (begin <= name.size()) {
    size_t end = name.find('\\', begin);
    if (end == std::string::npos) end = name.size();
    const std::string part = name.substr(begin, end - begin);
    begin = end + 1;
    if (part.empty() || part == ".") continue;
    std::string found;
    if (part == "..") {
      found = part;
    } else if (!FindEntry(current, part, found)) {
      return false;
    }
    current += "/" + found;
  }
  if (IsDirectory(current)) return false;
  path = current;
  return true;
}

}  // namespace kq
