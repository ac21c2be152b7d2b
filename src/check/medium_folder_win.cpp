#include <windows.h>

#include "check/medium_folder.h"
#include "sys/wide_ansi.h"
#include "text/mbcs_path.h"

namespace kq {

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
