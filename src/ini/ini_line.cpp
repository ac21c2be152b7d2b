#include "ini/ini_line.h"

#include "config/next_field.h"

namespace kq {

void IniLine::SetKey(const std::string& key) {
  std::string oldName;
  const bool wasIndexed = GetIndexName(oldName);
  key_ = key;
  IndexNameChanged(wasIndexed ? &oldName : nullptr);
}

bool IniLine::GetIndexName(std::string& name) const {
  if (key_.empty()) return false;
  name = key_;
  TrimBlanks(name);
  return true;
}

}  // namespace kq
