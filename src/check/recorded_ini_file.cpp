#include "check/recorded_ini_file.h"

#include "text/next_field.h"

namespace kq {

namespace {

size_t LineCount(const CIniFile& ini, const std::string& section) {
  IniSection* found = nullptr;
  return ini.FindSection(section, &found) && found != nullptr ? found->Lines().GetCount() : 0;
}

}  // namespace

void RecordedIniFile::ParseLine(const std::string& line, std::string& currentSection) {
  const std::string before = currentSection;
  const size_t countBefore = LineCount(*this, before);
  CIniFile::ParseLine(line, currentSection);

  IniSourceLine recorded;
  recorded.number = static_cast<int>(lines_.size()) + 1;
  recorded.section = currentSection;
  IniSection* section = nullptr;
  if (FindSection(currentSection, &section) && section != nullptr && currentSection == before &&
      section->Lines().GetCount() > countBefore) {
    const IniLine* stored = section->Lines().At(section->Lines().GetCount() - 1);
    recorded.value = stored->GetValue();
    recorded.keyLine = !stored->GetKey().empty();
    recorded.key = stored->GetKey();
    TrimBlanks(recorded.key);
  } else {
    recorded.header = true;
  }
  lines_.push_back(recorded);
}

}  // namespace kq
