#include <windows.h>

#include "check/medium_folder.h"
#include "sys/scoped_handle.h"
#include "sys/wide_ansi.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

// The .INI files under `folder` (ending with a backslash), named relative
// to the medium by `prefix` ("Lang\\").
void CollectIniFiles(const std::string& folder, const std::string& prefix, std::vector<std::string>& names) {
  WIN32_FIND_DATAA found;
  ScopedFind search(FindFirstFileByName(folder + "*", found));
  if (!search) return;
  do {
    const std::string name = found.cFileName;
    if (name.empty() || name[0] == '.') continue;
    if ((found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0) {
      if ((found.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) == 0)
        CollectIniFiles(folder + name + "\\", prefix + name + "\\", names);
    } else if (IsIniName(name)) {
      names.push_back(prefix + name);
    }
  } while (FindNextFileByName(search, found));
}

}  // namespace

std::vector<std::string> MediumFolder::IniFiles() const {
  std::vector<std::string> names;
  CollectIniFiles(JoinPath(WindowsName(root_), std::string(), GetACP()), std::string(), names);
  SortNames(names);
  return names;
}

bool MediumFolder::Exists() const {
  const DWORD attributes = FileAttributesByName(root_);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MediumFolder::FindFile(const std::string& relative, std::string& path) const {
  // The medium's folder came from this system's command line, in its own
  // ANSI code page, whatever code page the data file is checked for.
  const std::string full = JoinPath(WindowsName(root_), WindowsName(relative), GetACP());
  const DWORD attributes = FileAttributesByName(full);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  path = full;
  return true;
}

}  // namespace kq
