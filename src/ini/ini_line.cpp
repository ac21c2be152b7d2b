#include "ini/ini_line.h"

#include "text/next_field.h"

namespace kq {

void IniLine::SetKey(const std::string& key) {
  std::string oldName;
  const bool wasIndexed = GetIndexName(oldName);
  key_ = key;
  // Setting a key makes a key line, clearing it a plain line.
  keyLine_ = !key_.empty();
  IndexNameChanged(wasIndexed ? &oldName : nullptr);
}

bool IniLine::GetIndexName(std::string& name) const {
  if (!keyLine_) return false;
  name = key_;
  TrimBlanks(name);
  return true;
}

}  // namespace kq
