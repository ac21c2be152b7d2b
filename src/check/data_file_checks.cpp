#include "check/data_file_checks.h"

#include "check/closest_name.h"
#include "text/ascii_text.h"
#include "text/next_field.h"
#include "config/parse_integer.h"
#include "http/http_url.h"
#include "steps/installer_command_lines.h"
#include "steps/platform_list.h"
#include "steps/software_entries.h"
#include "steps/version_number.h"
#include "steps/windows_installer_rules.h"
#include "sys/internal_error.h"
#include "config/setup_data_names.h"

namespace kq {

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// An Uninstall key name where a product code is expected: a GUID must be
// whole, braced and hexadecimal, or the key is never found.
void CheckUninstallKeyName(CheckedDataFile& checked, int line, const std::string& entry) {
  const GuidReading guid = ReadGuid(entry);
  if (guid.form == GuidForm::kNonHexDigit)
    checked.Add(line, Rule::kGuidNotHex,
                Quoted(entry) + " is not a GUID: '" + std::string(1, guid.nonHexDigit) +
                    "' is not a hexadecimal digit (0-9, A-F), so no product is ever found under it; copy the "
                    "product code again");
  else if (guid.form == GuidForm::kBare)
    checked.Add(line, Rule::kProductCode,
                "the product code " + Quoted(entry) +
                    " needs its braces: the Uninstall key of a Windows Installer product is {" + entry + "}");
  else if (!entry.empty() && entry[0] == '{' && guid.form != GuidForm::kBraced)
    checked.Add(line, Rule::kProductCode,
                Quoted(entry) +
                    " is not a well-formed product code; write a GUID in braces such as "
                    "{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D}");
  else if (!entry.empty() && guid.form != GuidForm::kBraced)
    checked.Add(line, Rule::kUninstallKeyName,
                Quoted(entry) +
                    " is no product code: SETUP.EXE looks for an Uninstall key of that name "
                    "(HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\" + entry +
                    "), which a Windows Installer product does not have (its key is its ProductCode, and a display "
                    "name is never a key); write the product's ProductCode, or keep the name only for software "
                    "whose Uninstall key has it");
}

std::string KnownList(const std::vector<std::string>& names) {
  std::string list;
  for (const std::string& name : names) list += (list.empty() ? "" : ", ") + name;
  return list;
}

void CheckUnknownNames(CheckedDataFile& checked) {
  std::vector<std::string> seenKeys;
  for (const IniSourceLine& line : checked.Lines()) {
    std::string text = line.value;
    TrimBlanks(text);
    if (line.header) {
      bool known = false;
      for (const std::string& name : KnownSections()) known = known || name == line.section;
      if (known) continue;
      const std::string meant = NearMissName(line.section, KnownSections());
      if (!meant.empty()) {
        checked.Add(line.number, Rule::kMisspeltSection,
                    "SETUP.EXE does not read a section [" + line.section + "] and silently goes on without [" +
                        meant + "] (names are case-sensitive); write [" + meant + "]");
        continue;
      }
      const std::string closest = ClosestName(line.section, KnownSections());
      checked.Add(line.number, Rule::kUnknownSection,
                  "SETUP.EXE does not read a section [" + line.section + "]" +
                      (closest.empty() ? "; the sections it reads are " + KnownList(KnownSections())
                                       : "; write [" + closest + "]"));
    } else if (line.section == CIniFile::kUnnamedSection) {
      if (!text.empty() && text[0] != ';')
        checked.Add(line.number, Rule::kOutsideSection,
                    "this line stands before the first [section] and is not read; put it into a section or make it "
                    "a comment (;)");
    } else if (line.section == kSectionProductInformation) {
      if (!line.keyLine) {
        if (!text.empty() && text[0] != ';')
          checked.Add(line.number, Rule::kUnknownKey,
                      "this line of [ProductInformation] is not KEY=VALUE and is not read; write KEY=VALUE");
        continue;
      }
      bool known = false;
      for (const std::string& name : KnownInformationKeys()) known = known || name == line.key;
      const std::string meant = known ? std::string() : NearMissName(line.key, KnownInformationKeys());
      if (!meant.empty()) {
        checked.Add(line.number, Rule::kMisspeltKey,
                    "SETUP.EXE does not read a key " + Quoted(line.key) + " and silently goes on without " + meant +
                        " (names are case-sensitive); write " + meant);
        continue;
      }
      if (!known) {
        const std::string closest = ClosestName(line.key, KnownInformationKeys());
        checked.Add(line.number, Rule::kUnknownKey,
                    "SETUP.EXE does not read a key " + Quoted(line.key) + " (names are case-sensitive)" +
                        (closest.empty() ? "; the keys it reads are " + KnownList(KnownInformationKeys())
                                         : "; write " + closest));
        continue;
      }
      bool seen = false;
      for (const std::string& key : seenKeys) seen = seen || key == line.key;
      if (seen)
        checked.Add(line.number, Rule::kDuplicateKey,
                    line.key + " is set again here; SETUP.EXE uses only the first one: remove one of them");
      seenKeys.push_back(line.key);
    } else if (!line.keyLine && !text.empty() && text[0] == ';') {
      checked.Add(line.number, Rule::kCommentEntry,
                  "comments are not skipped in a list section: SETUP.EXE reads this line as an entry of [" +
                      line.section + "]; move the comment above the section header");
    }
  }
}

void CheckCheckRegKey(CheckedDataFile& checked) {
  const std::string& value = checked.Data().GetCheckRegKey();
  if (value.empty()) return;
  const int line = checked.KeyLine(kKeyCheckRegKey);
  RegistryKeyCheck check;
  if (!ReadRegistryKeyCheck(value, check)) {
    checked.Add(line, Rule::kCheckRegKey,
                "CheckRegKey cannot be split into fields (SETUP.EXE stops with " +
                    InternalErrorAt(kLocationProductRegistryKey) + "); write ROOT,SUBKEY[,VALUE]");
    return;
  }
  if (ReadRegistryRoot(check.root) == RegistryRoot::Unknown) {
    const std::string upper = UpperCaseAscii(check.root);
    checked.Add(
        line, Rule::kCheckRegKey,
        "CheckRegKey root " + Quoted(check.root) + " is not a root SETUP.EXE knows (" +
            InternalErrorAt(kLocationProductRegistryKey) + "); " +
            (ReadRegistryRoot(upper) != RegistryRoot::Unknown ? "roots are written in capitals: " + upper
                                                              : std::string("write HKLM, HKCU, HKCR, HKU or HKCC")));
    return;
  }
  if (check.subkey.empty())
    checked.Add(line, Rule::kCheckRegKeyRoot,
                "CheckRegKey names no subkey, so the root itself always counts as present; write ROOT,SUBKEY[,VALUE]");
}

void CheckPlatforms(CheckedDataFile& checked) {
  const std::string& platforms = checked.Data().GetPlatforms();
  if (platforms.empty()) return;
  const int line = checked.KeyLine(kKeyPlatforms);
  const char* const kFormat = "write FAMILY:MAJOR.MINOR[:SERVICEPACK] entries such as NT:5.0,9X:4.10";
  std::string rest = platforms;
  std::vector<std::string> seen;
  while (!rest.empty()) {
    std::string entry;
    if (!NextField(rest, entry, ",", QuoteMode::Remove)) {
      checked.Add(line, Rule::kPlatforms,
                  "Platforms cannot be split at its commas (a quote is not closed), so every Windows is refused; " +
                      std::string(kFormat));
      return;
    }
    const size_t colon = entry.find(':');
    if (colon == std::string::npos || colon == 0) {
      checked.Add(line, Rule::kPlatformsSkipped,
                  "Platforms entry " + Quoted(entry) + " has no FAMILY: part and is skipped; " + kFormat);
      continue;
    }
    const std::string family = entry.substr(0, colon);
    if (WindowsFamilyNamed(family) == WindowsFamily::kUnknown) {
      checked.Add(line, Rule::kPlatformsSkipped,
                  "Platforms entry " + Quoted(entry) +
                      " names no family SETUP.EXE knows and is skipped; the "
                      "families are NT and 9X");
      continue;
    }
    bool repeated = false;
    for (const std::string& earlier : seen) repeated = repeated || EqualsNoCase(earlier, family);
    seen.push_back(family);
    if (repeated) {
      checked.Add(line, Rule::kPlatformsSkipped,
                  "Platforms names the family " + family + " again in " + Quoted(entry) +
                      "; only its first entry counts: remove this one");
      continue;
    }
    PlatformRequirement requirement;
    if (FindPlatformRequirement(entry, WindowsFamilyNamed(family), requirement) == PlatformVerdict::BadNumber)
      checked.Add(line, Rule::kPlatforms,
                  "Platforms entry " + Quoted(entry) +
                      " holds a version that is not a number (SETUP.EXE stops with " +
                      InternalErrorAt(kLocationPlatform) + " on that family); " +
                      kFormat);
  }
}

void CheckInformationValues(CheckedDataFile& checked) {
  const SetupDataFile& data = checked.Data();
  const MsiVersion* msiVersion = data.GetMsiVersionValue();
  if (!data.GetMsiVersion().empty() && msiVersion == nullptr)
    checked.Add(checked.KeyLine(kKeyMsiVersion), Rule::kMsiVersion,
                "MsiVersion " + Quoted(data.GetMsiVersion()) + " is not a version SETUP.EXE can read (it stops with " +
                    InternalErrorCodeText(kLocationInstallerVersion, kErrorTokenize) +
                    "); write MAJOR[.MINOR[.BUILD]], such as 2.0");
  else if (msiVersion != nullptr && IsBeyondLastInstaller(*msiVersion))
    checked.Add(checked.KeyLine(kKeyMsiVersion), Rule::kMsiVersionTooNew,
                "MsiVersion " + data.GetMsiVersion() +
                    " is above 5.0, the last Windows Installer, so no machine has it and no redistributable brings "
                    "it: on every machine SETUP.EXE runs the Windows Installer redistributable (from the medium or "
                    "downloaded) and then ends with 1602, as the engine is still older, or with 1603 (message 13) "
                    "where none can be had; write the version the package requires (--init writes it)");

  const std::string& allow = data.GetAllowNTServer();
  if (!allow.empty() && !ForbidsNtServer(allow) && !EqualsNoCase(allow, "YES") && !EqualsNoCase(allow, "TRUE") &&
      allow != "1")
    checked.Add(checked.KeyLine(kKeyAllowNTServer), Rule::kAllowNtServer,
                "AllowNTServer " + Quoted(allow) +
                    " allows NT Server: only FALSE, NO or 0 refuse it; write NO to "
                    "refuse servers or YES to allow them");

  struct Download {
    const char* urlKey;
    const std::string& url;
    const char* pinKey;
    const std::string& pin;
  } const downloads[] = {
      {kKeyNTMsiInstaller, data.GetNTMsiInstaller(), kKeyNTMsiInstallerSHA256, data.GetNTMsiInstallerSHA256()},
      {kKey9xMsiInstaller, data.Get9xMsiInstaller(), kKey9xMsiInstallerSHA256, data.Get9xMsiInstallerSHA256()},
  };
  for (const Download& download : downloads) {
    HttpAddress address;
    if (!download.url.empty() && ParseHttpUrl(download.url, address) != UrlParse::Ok)
      checked.Add(checked.KeyLine(download.urlKey), Rule::kInstallerUrl,
                  std::string(download.urlKey) + " " + Quoted(download.url) +
                      " is not an address the setup can download from (it speaks plain HTTP only: the systems "
                      "that need the redistributable, before Windows 7, have no TLS 1.2, which https servers "
                      "demand); write "
                      "http://host[:port]/path and pin the file with " +
                      download.pinKey);
    if (!download.pin.empty() && !IsSha256Text(download.pin))
      checked.Add(checked.KeyLine(download.pinKey), Rule::kSha256,
                  std::string(download.pinKey) +
                      " is not 64 hexadecimal digits, so every download counts as failed; "
                      "write the file's SHA-256 (sha256sum prints it)");
  }
}

void CheckNestedInstallValue(CheckedDataFile& checked) {
  const std::string& value = checked.Data().GetNestedInstall();
  if (value.empty()) return;
  const int line = checked.KeyLine(kKeyNestedInstall);
  NestedInstallValue nested;
  if (!ReadNestedInstall(value, nested)) {
    checked.Add(line, Rule::kNestedInstall,
                "NestedInstall cannot be read, so SETUP.EXE does not run the nested setup and ends with 1603; write "
                "PRODUCTCODE,DATAFILE [ARGUMENTS][,ONEREBOOT|NOUPDATE]");
    return;
  }
  if (!IsBracedGuid(nested.productCode))
    checked.Add(line, Rule::kNestedInstall,
                "NestedInstall product code " + Quoted(nested.productCode) +
                    " is not a GUID in braces; write the nested package's ProductCode, such as "
                    "{0B1C2D3E-4F5A-4B6C-9D7E-8F9A0B1C2D3E}");
  if (NestedDataFileWord(nested.arguments).empty())
    checked.Add(line, Rule::kNestedInstall,
                "NestedInstall names no data file, so SETUP.EXE does not run the nested setup and ends with 1603; "
                "write "
                "PRODUCTCODE,DATAFILE [ARGUMENTS][,FLAGS]");
  for (const std::string& flag : nested.flags) {
    if (!EqualsNoCase(flag, "ONEREBOOT") && !EqualsNoCase(flag, "NOUPDATE"))
      checked.Add(line, Rule::kNestedFlag,
                  "NestedInstall flag " + Quoted(flag) +
                      " is not one SETUP.EXE knows and is ignored; write ONEREBOOT, "
                      "NOUPDATE or ONEREBOOT|NOUPDATE");
  }
}

void CheckProductCodeLists(CheckedDataFile& checked) {
  for (const char* section : kProductListSections) {
    for (const IniSourceLine* line : checked.Entries(section)) {
      std::string entry = line->value;
      TrimBlanks(entry);
      CheckUninstallKeyName(checked, line->number, entry);
    }
  }
}

void CheckShutdownEntries(CheckedDataFile& checked) {
  for (const IniSourceLine* line : checked.Entries(kSectionShutdownApplication)) {
    std::string entry = line->value;
    TrimBlanks(entry);
    ShutdownEntry shutdown;
    if (!ReadShutdownEntry(entry, shutdown)) {
      checked.Add(line->number, Rule::kShutdownEntry,
                  "this entry names no window class, so no program is closed; write "
                  "WINDOWCLASS[,TIMEOUT[,MESSAGE[,WPARAM[,LPARAM]]]]");
      continue;
    }
    std::string rest = entry;
    std::string field;
    NextField(rest, field, ",", QuoteMode::Remove);
    static const char* const kNames[] = {"TIMEOUT", "MESSAGE", "WPARAM", "LPARAM"};
    for (const char* name : kNames) {
      if (rest.empty()) break;
      std::string before = rest;
      NextField(before, field, ",", QuoteMode::Remove);
      int number = 0;
      if (NextNumberField(rest, number)) continue;
      checked.Add(line->number, Rule::kShutdownNumber,
                  std::string(name) + " " + Quoted(field) +
                      " is not a number: SETUP.EXE stops reading the entry "
                      "there and takes 0 for it and what follows; write a decimal number (TIMEOUT in milliseconds)");
      break;
    }
  }
}

void CheckUpgradeEntries(CheckedDataFile& checked) {
  const char* const kFormat =
      "write UNINSTALLKEY,RANGES,ACTION such as {6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4D},1.0-1.9,REMOVE";
  for (const IniSourceLine* line : checked.Entries(kSectionUpgradeConditions)) {
    std::string value = line->value;
    TrimBlanks(value);
    const UpgradeEntry condition = ReadUpgradeEntry(value);
    const std::string& key = condition.uninstallKey;
    const std::string& ranges = condition.ranges;
    const std::string& action = condition.action;
    if (condition.fields < 3) {
      checked.Add(line->number, Rule::kUpgradeEntry,
                  "this condition cannot be split into fields (" + InternalErrorAt(kLocationUpgradeConditions) +
                      "); " + std::string(kFormat));
      continue;
    }
    std::string bound;
    if (FindUnreadableVersionBound(ranges, bound)) {
      checked.Add(line->number, Rule::kUpgradeEntry,
                  "the version " + Quoted(bound) +
                      " in the ranges cannot be read, so the condition never matches; "
                      "write ranges such as 1.0-1.9;2.1 without blanks");
      continue;
    }
    if (ReadUpgradeAction(action) == UpgradeAction::Invalid)
      checked.Add(line->number, Rule::kUpgradeEntry,
                  "the action " + Quoted(action) +
                      " is neither LEAVE nor REMOVE (" + InternalErrorAt(kLocationUpgradeConditions) +
                      " when the condition matches); " +
                      kFormat);
    CheckUninstallKeyName(checked, line->number, key);
    for (const std::string& text : VersionRangeBounds(ranges)) {
      if (text.find_first_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz") == std::string::npos) continue;
      VersionNumber version;
      version.Read(text.c_str());
      checked.Add(line->number, Rule::kVersionLetter,
                  "the version " + Quoted(text) + " holds a letter, which SETUP.EXE reads as its place in the "
                  "alphabet (a is 0): " + version.ToString() + "; write it in numbers (" +
                      std::to_string(version.Major()) + ".0-" + std::to_string(version.Major()) +
                      ".65535 takes every " + std::to_string(version.Major()) + ".x version)");
    }
  }
}

// A product the medium removes (an earlier version, an upgrade's REMOVE, a
// product in the way) that [IncompatibleAppExit] also refuses: SETUP.EXE
// checks the refusals before it removes anything, so the removal is never
// reached on a machine that has the product.
void CheckRemovedAndRefused(CheckedDataFile& checked) {
  struct Removal {
    std::string key;
    std::string where;
  };
  std::vector<Removal> removals;
  for (const char* section : {kSectionPreviousVersionUninstall, kSectionIncompatibleAppUninstall}) {
    for (const IniSourceLine* line : checked.Entries(section)) {
      std::string entry = line->value;
      TrimBlanks(entry);
      removals.push_back({entry, "[" + std::string(section) + "] line " + std::to_string(line->number)});
    }
  }
  for (const IniSourceLine* line : checked.Entries(kSectionUpgradeConditions)) {
    std::string value = line->value;
    TrimBlanks(value);
    const UpgradeEntry condition = ReadUpgradeEntry(value);
    if (condition.fields >= 3 && ReadUpgradeAction(condition.action) == UpgradeAction::Remove)
      removals.push_back({condition.uninstallKey, "[UpgradeConditions] line " + std::to_string(line->number) +
                                                      ", REMOVE"});
  }
  for (const IniSourceLine* line : checked.Entries(kSectionIncompatibleAppExit)) {
    std::string entry = line->value;
    TrimBlanks(entry);
    for (const Removal& removal : removals) {
      if (!EqualsNoCase(removal.key, entry)) continue;
      checked.Add(line->number, Rule::kRefusesRemovedProduct,
                  entry + " is refused here, and the medium also removes it (" + removal.where +
                      "): SETUP.EXE checks [IncompatibleAppExit] before it removes anything, so on every machine that "
                      "has this product the setup ends with 1603 (message 11) and the removal never comes; remove "
                      "this entry");
      break;
    }
  }
}

void CheckLaunchEntries(CheckedDataFile& checked) {
  for (const IniSourceLine* line : checked.Entries(kSectionLaunchApplications)) {
    if (line->keyLine && (line->key.find(',') != std::string::npos || IsBracedGuid(line->key))) {
      checked.Add(line->number, Rule::kLaunchEquals,
                  "this line holds '=', so SETUP.EXE reads it as KEY=VALUE, looks for a component " +
                      Quoted(line->value) + " and never starts the program; put a name and '=' in front: Launch1=" + line->key + "=" +
                      line->value);
      continue;
    }
    std::string componentCode;
    std::string arguments;
    switch (ReadPostInstallEntry(line->value, componentCode, arguments)) {
      case PostInstallEntryRead::Malformed:
        checked.Add(line->number, Rule::kLaunchEntry,
                    "this entry cannot be split into fields (SETUP.EXE stops with " +
                        InternalErrorAt(kLocationPostInstall) + "); write COMPONENTCODE,ARGUMENTS");
        continue;
      case PostInstallEntryRead::Skip:
        checked.Add(line->number, Rule::kLaunchSkipped,
                    "this entry names no component and is skipped; write COMPONENTCODE,ARGUMENTS");
        continue;
      case PostInstallEntryRead::Use:
        break;
    }
    if (!IsBracedGuid(componentCode))
      checked.Add(
          line->number, Rule::kLaunchEntry,
          "the component code " + Quoted(componentCode) +
              " is not a GUID in braces, so nothing is started; "
              "write the ComponentId of the program's component, such as {2D3E4F5A-6B7C-4D8E-9F0A-1B2C3D4E5F60}");
  }
}

}  // namespace

void CheckedDataFile::Add(int line, Rule rule, const std::string& message) {
  findings_.push_back(Finding{file_, line, rule, message});
}

int CheckedDataFile::KeyLine(const std::string& key) const {
  for (const IniSourceLine& line : lines_) {
    if (line.section == kSectionProductInformation && line.keyLine && line.key == key) return line.number;
  }
  return 0;
}

int CheckedDataFile::HeaderLine(const std::string& section) const {
  for (const IniSourceLine& line : lines_) {
    if (line.header && line.section == section) return line.number;
  }
  return 0;
}

std::vector<const IniSourceLine*> CheckedDataFile::Entries(const std::string& section) const {
  std::vector<const IniSourceLine*> entries;
  for (const IniSourceLine& line : lines_) {
    if (line.header || line.section != section) continue;
    std::string value = line.value;
    TrimBlanks(value);
    if (!value.empty()) entries.push_back(&line);
  }
  return entries;
}

GuidReading ReadGuid(const std::string& text) {
  const bool braced = text.size() == 38 && text.front() == '{' && text.back() == '}';
  const std::string bare = braced ? text.substr(1, 36) : text;
  GuidReading reading;
  if (bare.size() != 36) return reading;
  for (size_t i = 0; i < bare.size(); ++i) {
    const bool dash = i == 8 || i == 13 || i == 18 || i == 23;
    const char c = bare[i];
    if (dash != (c == '-')) return reading;
    if (dash) continue;
    if (!IsAsciiDigit(c) && !IsAsciiLetter(c)) return reading;
    if (!IsHexDigit(c) && reading.nonHexDigit == '\0') reading.nonHexDigit = c;
  }
  reading.form = reading.nonHexDigit != '\0' ? GuidForm::kNonHexDigit : braced ? GuidForm::kBraced : GuidForm::kBare;
  return reading;
}

bool IsBracedGuid(const std::string& text) { return ReadGuid(text).form == GuidForm::kBraced; }

bool CheckNamesAndRequiredContent(CheckedDataFile& checked) {
  const std::string sectionMissing = InternalErrorCodeText(kLocationSetupDataLoad, kErrorSectionMissing);
  CheckUnknownNames(checked);
  bool complete = true;
  if (checked.HeaderLine(kSectionProductInformation) == 0) {
    checked.Add(0, Rule::kMissingSection,
                "there is no [ProductInformation] section (SETUP.EXE stops with " + sectionMissing +
                    "); add it with PackageName=");
    complete = false;
  } else if (checked.KeyLine(kKeyPackageName) == 0) {
    checked.Add(checked.HeaderLine(kSectionProductInformation), Rule::kMissingKey,
                "[ProductInformation] has no PackageName (SETUP.EXE stops with " +
                    InternalErrorCodeText(kLocationSetupDataLoad, kErrorValueMissing) +
                    "); add PackageName=<the package>.msi");
    complete = false;
  }
  if (checked.HeaderLine(kSectionProductFeatures) == 0) {
    checked.Add(0, Rule::kMissingSection,
                "there is no [ProductFeatures] section (SETUP.EXE stops with " + sectionMissing +
                    "); add it with the package's features, one per line");
    complete = false;
  }
  return complete;
}

void CheckValueFormats(CheckedDataFile& checked) {
  CheckCheckRegKey(checked);
  CheckPlatforms(checked);
  CheckInformationValues(checked);
  CheckNestedInstallValue(checked);
  CheckProductCodeLists(checked);
  CheckShutdownEntries(checked);
  CheckUpgradeEntries(checked);
  CheckRemovedAndRefused(checked);
  CheckLaunchEntries(checked);
}

bool IsBeyondLastInstaller(const MsiVersion& msiVersion) {
  return msiVersion.major > 5 || (msiVersion.major == 5 && msiVersion.minor > 0);
}

}  // namespace kq
