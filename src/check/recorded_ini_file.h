#pragma once
// The INI library's own document, loaded exactly as SETUP.EXE loads it, that
// also remembers where each line stood: the checker reports findings by line
// number, which the document itself does not keep.
#include <string>
#include <vector>

#include "ini/ini_file.h"

namespace kq {

struct IniSourceLine {
  int number = 0;        // 1-based line of the file
  std::string section;   // the section the line belongs to (for a header, the one it opens)
  bool header = false;   // a [section] line
  bool keyLine = false;  // a key=value line
  std::string key;       // trimmed key of a key line
  std::string value;     // what the document stores: the value of a key line, else the raw text
};

// Load it once: the record is not reset by a second load.
class RecordedIniFile : public CIniFile {
 public:
  using CIniFile::CIniFile;
  const std::vector<IniSourceLine>& SourceLines() const { return lines_; }

 protected:
  void ParseLine(const std::string& line, std::string& currentSection) override;

 private:
  std::vector<IniSourceLine> lines_;
};

}  // namespace kq
