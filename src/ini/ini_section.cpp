#include "ini/ini_section.h"

#include "text/next_field.h"

namespace kq {

bool IniSection::GetName(std::string* name) const {
  if (name == nullptr) return false;
  *name = name_;
  return true;
}

bool IniSection::SetName(const std::string& name) {
  const std::string oldName = name_;
  name_ = name;
  IndexNameChanged(&oldName);
  return true;
}

bool IniSection::GetLines(IniLineCollection** lines) {
  if (lines == nullptr) return false;
  *lines = &lines_;
  return true;
}

bool IniSection::GetValue(const std::string& key, std::string* value) const {
  if (value == nullptr) return false;
  std::string trimmed = key;
  TrimBlanks(trimmed);
  const IniLine* line = lines_.Find(trimmed);
  if (line == nullptr) return false;
  *value = line->GetValue();
  return true;
}

bool IniSection::GetLine(long position, std::string* value) const {
  if (value == nullptr || position < 0) return false;
  const size_t index = position == 0 ? 0 : static_cast<size_t>(position) - 1;
  const IniLine* line = lines_.At(index);
  if (line == nullptr) return false;
  *value = line->GetValue();
  return true;
}

bool IniSection::AddKeyValue(const std::string& key, const std::string& value) {
  lines_.Append(std::make_unique<IniLine>(key, value, true));
  return true;
}

bool IniSection::AddLine(const std::string& text) {
  lines_.Append(std::make_unique<IniLine>(std::string(), text, false));
  return true;
}

bool IniSection::RemoveKey(const std::string& key) {
  const IniLine* line = lines_.Find(key);
  return line != nullptr && lines_.Remove(line);
}

bool IniSection::RemoveLineAt(long index) {
  return index >= 0 && lines_.RemoveAt(static_cast<size_t>(index));
}

bool IniSection::RemoveAllLines() {
  lines_.RemoveAll();
  return true;
}

}  // namespace kq
