#include <windows.h>

#include "check/medium_folder.h"
#include "sys/wide_ansi.h"

namespace kq {

bool MediumFolder::Exists() const {
  const DWORD attributes = FileAttributesByName(root_);
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MediumFolder::FindFile(const std::string& relative, std::string& path) const {
  std::string full = WindowsName(root_);
  if (!full.empty() && full.back() != '\\') full += '\\';
  full += WindowsName(relative);
  const DWORD attributes = FileAttributesByName(full);
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  path = full;
  return true;
}

}  // namespace kq
