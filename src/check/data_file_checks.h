#pragma once
// The checks of one loaded setup data file that need nothing but its text:
// names, required content and the format of every value and list entry.
#include <string>
#include <vector>

#include "check/finding.h"
#include "check/recorded_ini_file.h"
#include "config/msi_version.h"
#include "config/setup_data_file.h"

namespace kq {

// One data file while it is checked: its lines as the INI library read them,
// what SetupDataFile made of them, and where its findings go.
class CheckedDataFile {
 public:
  CheckedDataFile(std::string file, Findings& findings) : file_(std::move(file)), findings_(findings) {}

  const std::string& File() const { return file_; }
  std::vector<IniSourceLine>& Lines() { return lines_; }
  SetupDataFile& Data() { return data_; }

  // A finding of `rule` at `line` (0: the file as a whole).
  void Add(int line, Rule rule, const std::string& message);

  // The line of the first key line `key` in [ProductInformation]; 0 when none.
  int KeyLine(const std::string& key) const;
  // The line of the first header of `section`; 0 when none.
  int HeaderLine(const std::string& section) const;
  // The lines of the entries SetupDataFile reads from a list section, in
  // order: every line of the section whose stored value is not blank.
  std::vector<const IniSourceLine*> Entries(const std::string& section) const;

 private:
  std::string file_;
  Findings& findings_;
  std::vector<IniSourceLine> lines_;
  SetupDataFile data_;
};

// Unknown and misplaced names, before the content is read. False when a
// required section or key is missing (SetupDataFile would refuse the file).
bool CheckNamesAndRequiredContent(CheckedDataFile& checked);

// The format of every value of [ProductInformation] and every list entry,
// once SetupDataFile has read the file.
void CheckValueFormats(CheckedDataFile& checked);

// What a text meant as a product or component code is, as a publisher
// copies one: the GUID shape is 8-4-4-4-12 digits, with or without braces.
enum class GuidForm {
  kBraced,       // {XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}: what SETUP.EXE needs
  kBare,         // the same without its braces
  kNonHexDigit,  // the shape, braced or not, with a letter that is no hexadecimal digit (an O for a 0)
  kOther,        // no GUID
};
struct GuidReading {
  GuidForm form = GuidForm::kOther;
  char nonHexDigit = '\0';  // the first one, for kNonHexDigit
};
GuidReading ReadGuid(const std::string& text);

// Whether MsiVersion names a version above 5.0, the last Windows Installer
// (Windows 7's); the builds of 5.0 (5.0.7601) are real.
bool IsBeyondLastInstaller(const MsiVersion& msiVersion);

// Whether `text` is a GUID in braces.
bool IsBracedGuid(const std::string& text);

}  // namespace kq
