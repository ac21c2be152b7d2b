#pragma once
// Helpers shared by the INI tests.
#include <gtest/gtest.h>

#include <string>

#include "ini/ini_file.h"

namespace kq {
namespace test {

// UTF-16LE bytes with the byte order mark, for text of characters below
// U+0100 given as narrow text.
inline std::string Utf16File(const std::string& text) {
  std::string bytes("\xFF\xFE", 2);
  for (char c : text) {
    bytes.push_back(c);
    bytes.push_back('\0');
  }
  return bytes;
}

// Runs `load` and returns the exception it raised; fails the test if none.
template <typename F>
CKqIniFileException ExpectIniException(F&& action) {
  try {
    action();
  } catch (const CKqIniFileException& e) {
    return e;
  }
  ADD_FAILURE() << "no CKqIniFileException raised";
  return CKqIniFileException(0, 0, "");
}

// The value of a key in a section, or "<absent>".
inline std::string ValueOf(const CIniFile& ini, const std::string& section, const std::string& key) {
  IniSection* found = nullptr;
  if (!ini.FindSection(section, &found)) return "<no section>";
  std::string value;
  return found->GetValue(key, &value) ? value : "<absent>";
}

}  // namespace test
}  // namespace kq
