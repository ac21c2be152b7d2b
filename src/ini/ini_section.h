#pragma once
// A named section: its lines in file order, key=value lines also indexed by
// their trimmed key. Keys are case-sensitive; the first line of a repeated
// key is the one lookups find, and every line stays in the order.
#include <string>

#include "ini/ini_collection.h"
#include "ini/ini_line.h"

namespace kq {

class IniSection : public IniItem {
 public:
  explicit IniSection(std::string name) : name_(std::move(name)) {}

  bool GetName(std::string* name) const;
  const std::string& Name() const { return name_; }
  // Renaming a section of a document keeps the document's index in step.
  bool SetName(const std::string& name);

  // False only for a null output.
  bool GetLines(IniLineCollection** lines);
  const IniLineCollection& Lines() const { return lines_; }

  // The value text, untrimmed, of the first line whose key equals `key`
  // once both are trimmed. False when there is none or `value` is null.
  bool GetValue(const std::string& key, std::string* value) const;
  // The value text of the line at a 1-based position (0 also gives the
  // first line). False for a negative position or one past the end.
  bool GetLine(long position, std::string* value) const;

  // Appends a key=value line, key and value unchanged, indexed under the
  // trimmed key (also when that is empty) unless an earlier line has it.
  bool AddKeyValue(const std::string& key, const std::string& value);
  // Appends a plain line (comment, blank or other text).
  bool AddLine(const std::string& text);
  // Removes the line indexed under `key` as given (no trimming).
  bool RemoveKey(const std::string& key);
  // Removes the line at a 0-based index.
  bool RemoveLineAt(long index);
  bool RemoveAllLines();

  bool GetIndexName(std::string& name) const override {
    name = name_;
    return true;
  }

 private:
  std::string name_;
  IniLineCollection lines_;
};

using IniSectionCollection = IniTypedCollection<IniSection>;

}  // namespace kq
