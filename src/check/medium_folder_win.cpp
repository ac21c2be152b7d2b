#include <windows.h>

#include "check/medium_folder.h"

namespace kq {

bool MediumFolder::Exists() const {
  const DWORD attributes = GetFileAttributesA(root_.c_str());
  return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
}

bool MediumFolder::FindFile(const std::string& relative, std::string& path) const {
  std::string full = WindowsName(root_);
  if (!full.empty() && full.back() != '\\') full += '\\';
  full += WindowsName(relative);
  const DWORD attributes = GetFileAttributesA(full.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0) return false;
  path = full;
  return true;
}

}  // namespace kq
