#pragma once
// One stored line of a section. A key=value line keeps its key exactly as it
// stood left of the first '=' and its value exactly as it stood right of it,
// blanks included, so that it is written back unchanged. Any other line
// (comment, blank, plain text) has an empty key and its raw text as value.
#include <string>

#include "ini/ini_collection.h"
#include "ini/ini_typed_collection.h"

namespace kq {

class IniLine : public IniItem {
 public:
  IniLine(std::string key, std::string value, bool keyLine)
      : key_(std::move(key)), value_(std::move(value)), keyLine_(keyLine) {}

  const std::string& GetKey() const { return key_; }
  const std::string& GetValue() const { return value_; }
  // Changing the key of a line in a section keeps the section's key index
  // in step. An empty key makes the line a plain line.
  void SetKey(const std::string& key);
  void SetValue(const std::string& value) { value_ = value; }

  // Key lines are indexed by the key without surrounding blanks.
  bool GetIndexName(std::string& name) const override;

 private:
  std::string key_;
  std::string value_;
  bool keyLine_;
};

using IniLineCollection = IniTypedCollection<IniLine>;

}  // namespace kq
