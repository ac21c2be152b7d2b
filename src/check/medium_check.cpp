#include "check/medium_check.h"

#include <algorithm>
#include <set>

#include "check/closest_name.h"
#include "text/ascii_text.h"
#include "check/data_file_checks.h"
#include "check/package_reader.h"
#include "check/sha256.h"
#include "check/text_encoding.h"
#include "text/mbcs_path.h"
#include "text/next_field.h"
#include "steps/installer_command_lines.h"
#include "steps/platform_list.h"
#include "steps/software_entries.h"
#include "steps/windows_installer_rules.h"
#include "sys/internal_error.h"
#include "sys/run_platform.h"
#include "sys/setup_exit_code.h"
#include "config/setup_data_names.h"

namespace kq {

namespace {

std::string Quoted(const std::string& text) { return "'" + text + "'"; }

// While the checker loads setup data, an internal error of SetupDataFile
// only ends the load: no box, no log.
std::string QuietCommandLine() { return "/qn"; }
uint32_t EnglishLocale() { return 0x0409; }
void NoLog(const char*) {}
void NoBox(WindowHandle, const char*, const char*) {}
const RunPlatform kQuietPlatform = {QuietCommandLine, EnglishLocale, NoLog, NoBox};

class ScopedQuietPlatform {
 public:
  ScopedQuietPlatform() : previous_(SetRunPlatform(&kQuietPlatform)) {}
  ~ScopedQuietPlatform() { SetRunPlatform(previous_); }
  ScopedQuietPlatform(const ScopedQuietPlatform&) = delete;
  ScopedQuietPlatform& operator=(const ScopedQuietPlatform&) = delete;

 private:
  const RunPlatform* previous_;
};

std::string ReplaceAll(std::string text, const std::string& from, const std::string& to) {
  if (from.empty()) return text;
  for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at + to.size()))
    text.replace(at, from.size(), to);
  return text;
}

// SETUP.EXE starts what MsiGetComponentPath gives for the component: its
// key path. Only a file is a program; a registry value or a folder gives a
// path that does not start, which SETUP.EXE logs and passes over.
void CheckLaunchKeyPath(CheckedDataFile& checked, const IniSourceLine& line, const std::string& componentCode,
                        const PackageFacts& facts) {
  for (const ComponentFacts& component : facts.componentRows) {
    if (component.componentId != componentCode || !component.keyFile.empty()) continue;
    const std::string keyPath = component.keyPath.empty()
                                    ? std::string("no key path, which makes its folder the key path")
                                    : "the key path " + Quoted(component.keyPath) +
                                          ", a registry value or an ODBC source";
    checked.Add(line.number, Rule::kLaunchKeyPath,
                "the component " + componentCode + " (" + component.component + ") has " + keyPath +
                    " and not a file, so the program never starts (SETUP.EXE logs that it did not start and ends with 0 "
                    "all the same); name the component whose key path is the program's file (setupcheck --init "
                    "lists each component's key file)");
    return;
  }
}

// Whether an .INI file of the medium is setup data rather than some other
// program's (a folder's desktop.ini): a header of a section SETUP.EXE reads,
// or of a near miss of one. Headers are ASCII, so a UTF-16 file is read by
// its ASCII characters, in either byte order.
bool LooksLikeSetupData(const std::string& bytes) {
  std::string text;
  const bool utf16 = bytes.size() >= 2 && ((bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                           (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
  if (utf16) {
    const size_t low = bytes[0] == '\xFF' ? 0 : 1;
    for (size_t at = 2; at + 1 < bytes.size(); at += 2) {
      if (bytes[at + 1 - low] == '\0') text += bytes[at + low];
    }
  } else {
    text = bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? bytes.substr(3) : bytes;
  }
  for (size_t begin = 0; begin < text.size();) {
    const size_t end = std::min(text.find('\n', begin), text.size());
    std::string line = text.substr(begin, end - begin);
    begin = end + 1;
    TrimBlanks(line);
    if (line.size() < 3 || line.front() != '[' || line.back() != ']') continue;
    const std::string name = line.substr(1, line.size() - 2);
    const std::vector<std::string>& known = KnownSections();
    if (std::find(known.begin(), known.end(), name) != known.end() || !NearMissName(name, known).empty()) return true;
  }
  return false;
}

class MediumChecker {
 public:
  MediumChecker(const MediumFolder& medium, const CheckOptions& options) : medium_(medium), options_(options) {}

  // Checks one data file and what it leads to; the package's facts when the
  // package could be read.
  // Its findings, then those of the nested setups, go to `out`.
  bool CheckDataFile(const std::string& relative, PackageFacts& facts, Findings& out);
  // Whether the data file has been checked, as the data file or a nested one.
  bool Visited(const std::string& relative) const {
    return visited_.count(UpperCaseAscii(WindowsName(relative))) != 0;
  }

 private:
  bool Load(CheckedDataFile& checked, const std::string& path);
  bool CheckPackage(CheckedDataFile& checked, const std::string& folder, PackageFacts& facts);
  void CheckPackageAgainstData(CheckedDataFile& checked, const PackageFacts& facts);
  void CheckRedistributables(CheckedDataFile& checked);
  // The nested setup's own findings go to `nested`.
  void CheckNestedSetup(CheckedDataFile& checked, Findings& nested);
  // The path meant by unquoted nested arguments whose words, up to a blank
  // after the first, name a file of the medium ("Acme Tools\SETUP.INI" in
  // `Acme Tools\SETUP.INI /qb`); empty when none does.
  std::string UnquotedPathWithBlanks(const std::string& arguments) const;

  const MediumFolder& medium_;
  CheckOptions options_;
  std::set<std::string> visited_;  // data files checked, in upper case
};

bool MediumChecker::CheckDataFile(const std::string& relative, PackageFacts& facts, Findings& out) {
  const std::string name = WindowsName(relative);
  visited_.insert(UpperCaseAscii(name));
  Findings own;
  Findings nested;
  CheckedDataFile checked(name, own);
  std::string path;
  bool packageRead = false;
  if (!medium_.FindFile(name, path)) {
    checked.Add(0, Rule::kDataFileMissing,
                "the setup data file is not on the medium; put it there or correct the name that points to it");
  } else if (Load(checked, path) && CheckNamesAndRequiredContent(checked)) {
    bool loaded = false;
    const uint32_t code = CatchSetupExitCode([&] {
      loaded = checked.Data().Load(std::string(), path, false);
      RaiseSetupExitCode(kExitSuccess);
    });
    if (!loaded) {
      checked.Add(0, Rule::kLoad,
                  "SETUP.EXE cannot read this file (" + InternalErrorCodeText(kLocationSetupDataLoad, code) + ")");
    } else {
      CheckValueFormats(checked);
      packageRead = CheckPackage(checked, RelativeFolder(name), facts);
      if (packageRead) CheckPackageAgainstData(checked, facts);
      CheckRedistributables(checked);
      CheckNestedSetup(checked, nested);
    }
  }
  std::stable_sort(own.begin(), own.end(), [](const Finding& a, const Finding& b) { return a.line < b.line; });
  out.insert(out.end(), own.begin(), own.end());
  out.insert(out.end(), nested.begin(), nested.end());
  return packageRead;
}

bool MediumChecker::Load(CheckedDataFile& checked, const std::string& path) {
  std::string bytes;
  if (!MediumFolder::ReadFile(path, bytes)) {
    checked.Add(0, Rule::kLoad, "the file cannot be read");
    return false;
  }
  Findings encoding;
  CheckTextEncoding(bytes, options_.codePage, checked.File(), encoding);
  for (const Finding& finding : encoding)
    checked.Add(finding.line, finding.rule, finding.message);
  if (HasError(encoding)) return false;
  RecordedIniFile ini;
  try {
    ini.Load(path);
  } catch (const CKqIniFileException& failure) {
    checked.Add(static_cast<int>(failure.LineNumber()) + 1, Rule::kLoad,
                "SETUP.EXE cannot load this file (" + InternalErrorAt(kLocationSetupDataLoad) + ", code " + std::to_string(failure.Code()) +
                    "): " + ReplaceAll(failure.Message(), path, checked.File()));
    return false;
  }
  checked.Lines() = ini.SourceLines();
  return true;
}

bool MediumChecker::CheckPackage(CheckedDataFile& checked, const std::string& folder, PackageFacts& facts) {
  const std::string& packageName = checked.Data().GetPackageName();
  const int line = checked.KeyLine(kKeyPackageName);
  std::string path;
  if (packageName.empty()) {
    checked.Add(line, Rule::kPackageMissing,
                "PackageName is empty, so SETUP.EXE has no package to install; write the package's file name");
    return false;
  }
  if (options_.package != nullptr) {
    facts = *options_.package;
    return true;
  }
  if (!medium_.FindFile(JoinPath(folder, packageName), path)) {
    checked.Add(line, Rule::kPackageMissing,
                "the package " + Quoted(packageName) + " is not beside the data file" +
                    (folder.empty() ? std::string() : " (in " + folder + ")") +
                    "; put it there or write its file name in PackageName");
    return false;
  }
  if (!ReadPackage(path, facts)) {
    checked.Add(line, Rule::kPackageUnreadable,
                "the package " + Quoted(packageName) +
                    " does not open as a Windows Installer database with Property, Feature and "
                    "Component tables; build it again or name the right file");
    return false;
  }
  for (const auto& property :
       {std::make_pair("ProductCode", &facts.productCode), std::make_pair("ProductName", &facts.productName),
        std::make_pair("ProductVersion", &facts.productVersion)}) {
    if (property.second->empty())
      checked.Add(line, Rule::kPackageProperty,
                  "the package " + Quoted(packageName) + " has no " + property.first +
                      " in its Property table; the Windows Installer needs it: add it to the package");
  }
  return true;
}

void MediumChecker::CheckPackageAgainstData(CheckedDataFile& checked, const PackageFacts& facts) {
  const SetupDataFile& data = checked.Data();
  auto findNoCase = [](const std::vector<std::string>& names, const std::string& name) {
    for (const std::string& candidate : names) {
      if (EqualsNoCase(candidate, name)) return candidate;
    }
    return std::string();
  };
  const std::vector<const IniSourceLine*> featureLines = checked.Entries(kSectionProductFeatures);
  const StringList& features = data.GetProductFeatures();
  for (size_t i = 0; i < features.size() && i < featureLines.size(); ++i) {
    if (std::find(facts.features.begin(), facts.features.end(), features[i]) != facts.features.end()) continue;
    const std::string other = findNoCase(facts.features, features[i]);
    std::string known;
    for (const std::string& feature : facts.features) known += (known.empty() ? "" : ", ") + feature;
    checked.Add(featureLines[i]->number, Rule::kUnknownFeature,
                "the package has no feature " + Quoted(features[i]) +
                    ", so the run-from-source check (which ends a second run with 0 instead of maintenance) does "
                    "not see the feature meant; " +
                    (other.empty() ? "its features are " + known : "feature names are case-sensitive: write " + other));
  }

  for (const IniSourceLine* line : checked.Entries(kSectionLaunchApplications)) {
    std::string componentCode;
    std::string arguments;
    if (line->keyLine && (line->key.find(',') != std::string::npos || IsBracedGuid(line->key))) continue;
    if (ReadPostInstallEntry(line->value, componentCode, arguments) != PostInstallEntryRead::Use ||
        !IsBracedGuid(componentCode))
      continue;
    if (std::find(facts.components.begin(), facts.components.end(), componentCode) != facts.components.end()) {
      CheckLaunchKeyPath(checked, *line, componentCode, facts);
      continue;
    }
    const std::string other = findNoCase(facts.components, componentCode);
    checked.Add(line->number, Rule::kUnknownComponent,
                "the package has no component " + componentCode + ", so this program silently never starts; " +
                    (other.empty() ? std::string("write the ComponentId of the program's component")
                                   : "write it as the package does: " + other));
  }

  const MsiVersion* msiVersion = data.GetMsiVersionValue();
  if (facts.requiredEngine > 0 && msiVersion != nullptr) {
    MsiVersion required;
    required.major = static_cast<uint32_t>(facts.requiredEngine / 100);
    required.minor = static_cast<uint32_t>(facts.requiredEngine % 100);
    const std::string version = std::to_string(required.major) + "." + std::to_string(required.minor);
    const std::string pageCount = " (summary information page count " + std::to_string(facts.requiredEngine) + ")";
    if (!msiVersion->IsAtLeast(required)) {
      checked.Add(checked.KeyLine(kKeyMsiVersion), Rule::kMsiVersionLow,
                  "MsiVersion " + data.GetMsiVersion() + " is lower than the Windows Installer " + version +
                      " the package requires" + pageCount + ": on a machine whose engine is at least " +
                      data.GetMsiVersion() + " but older than " + version +
                      ", SETUP.EXE installs no newer one, MSIEXEC refuses the package (1613 on Windows: it needs a "
                      "newer Windows Installer) and the setup ends with MSIEXEC's code; write MsiVersion=" + version);
    } else if (!required.IsAtLeast(*msiVersion) && !IsBeyondLastInstaller(*msiVersion)) {
      checked.Add(checked.KeyLine(kKeyMsiVersion), Rule::kMsiVersionHigh,
                  "MsiVersion " + data.GetMsiVersion() + " is above the Windows Installer " + version +
                      " the package requires" + pageCount + ": a machine without " + data.GetMsiVersion() +
                      " first gets that engine (INSNTMSI.EXE or INS9XMSI.EXE from the medium, else a download), "
                      "which needs an administrator on the NT family (1314 otherwise) and ends the setup with 1603 "
                      "(message 13) where none can be had, although the package needs only " + version +
                      "; write MsiVersion=" + version);
    }
  }

  if (!facts.upgradeCode.empty()) {
    auto checkKey = [&](const IniSourceLine& line, const std::string& key, const std::string& section) {
      if (!EqualsNoCase(key, facts.upgradeCode)) return;
      checked.Add(line.number, Rule::kUpgradeCode,
                  key + " is the package's UpgradeCode, but [" + section +
                      "] names Uninstall keys, which for a Windows Installer product are its ProductCode: this "
                      "entry never matches any installed product; write the ProductCode of the product meant");
    };
    for (const char* section : kProductListSections) {
      for (const IniSourceLine* line : checked.Entries(section)) {
        std::string entry = line->value;
        TrimBlanks(entry);
        checkKey(*line, entry, section);
      }
    }
    for (const IniSourceLine* line : checked.Entries(kSectionUpgradeConditions)) {
      const UpgradeEntry condition = ReadUpgradeEntry(line->value);
      if (condition.fields >= 1) checkKey(*line, condition.uninstallKey, kSectionUpgradeConditions);
    }
  }

  if (facts.productCode.empty()) return;
  const std::string removesOwn =
      "this is the package's own ProductCode: a medium never removes its own product, so SETUP.EXE skips this "
      "entry and the product takes the maintenance path; ";
  for (const char* section : kProductListSections) {
    for (const IniSourceLine* line : checked.Entries(section)) {
      std::string entry = line->value;
      TrimBlanks(entry);
      if (!EqualsNoCase(entry, facts.productCode)) continue;
      if (std::string(section) == kSectionPreviousVersionUninstall)
        checked.Add(line->number, Rule::kRemovesOwnProduct,
                    removesOwn + "remove the entry, or write the ProductCode of the earlier version meant");
      else
        checked.Add(line->number, Rule::kOwnProduct,
                    "this is the package's own ProductCode: once the product is installed, [" + std::string(section) +
                        "] treats it as other software in the way; remove the entry");
    }
  }
  const std::vector<const IniSourceLine*> conditions = checked.Entries(kSectionUpgradeConditions);
  bool ownListed = false;
  for (const IniSourceLine* line : conditions) {
    const UpgradeEntry condition = ReadUpgradeEntry(line->value);
    if (condition.fields < 1 || !EqualsNoCase(condition.uninstallKey, facts.productCode)) continue;
    ownListed = true;
    if (ReadUpgradeAction(condition.action) == UpgradeAction::Remove)
      checked.Add(line->number, Rule::kRemovesOwnProduct,
                  removesOwn + "write " + facts.productCode + ",,LEAVE");
  }
  if (!conditions.empty() && !ownListed)
    checked.Add(checked.HeaderLine(kSectionUpgradeConditions), Rule::kUpgradeOwnProduct,
                "[UpgradeConditions] has no entry for the package's own ProductCode, so running the setup again after "
                "the upgrade fails with 1603 instead of reaching maintenance; add " +
                    facts.productCode + ",,LEAVE");
}

void MediumChecker::CheckRedistributables(CheckedDataFile& checked) {
  const SetupDataFile& data = checked.Data();
  struct Pin {
    const char* file;
    const char* key;
    const std::string& value;
  } const pins[] = {
      {"INSNTMSI.EXE", kKeyNTMsiInstallerSHA256, data.GetNTMsiInstallerSHA256()},
      {"INS9XMSI.EXE", kKey9xMsiInstallerSHA256, data.Get9xMsiInstallerSHA256()},
  };
  for (const Pin& pin : pins) {
    std::string path;
    std::string bytes;
    if (!IsSha256Text(pin.value) || !medium_.FindFile(pin.file, path) || !MediumFolder::ReadFile(path, bytes)) continue;
    const std::string digest = Sha256Hex(bytes);
    if (!Sha256Matches(pin.value, digest))
      checked.Add(checked.KeyLine(pin.key), Rule::kRedistributablePin,
                  std::string(pin.key) + " does not match the " + pin.file + " on the medium (its SHA-256 is " +
                      digest + "), so the download it pins is not that file; write " + pin.key + "=" + digest +
                      " or ship the file the pin names");
  }
}

std::string MediumChecker::UnquotedPathWithBlanks(const std::string& arguments) const {
  if (arguments.empty() || arguments[0] == '"') return std::string();
  for (size_t blank = arguments.find(' '); blank != std::string::npos; blank = arguments.find(' ', blank + 1)) {
    const size_t end = arguments.find(' ', blank + 1);
    const std::string candidate = arguments.substr(0, end);
    std::string path;
    if (medium_.FindFile(WindowsName(candidate), path)) return candidate;
  }
  return std::string();
}

void MediumChecker::CheckNestedSetup(CheckedDataFile& checked, Findings& nested) {
  const std::string& value = checked.Data().GetNestedInstall();
  NestedInstallValue entry;
  if (value.empty() || !ReadNestedInstall(value, entry)) return;
  const std::string dataFile = WindowsName(NestedDataFileWord(entry.arguments));
  if (dataFile.empty()) return;
  const int line = checked.KeyLine(kKeyNestedInstall);
  std::string path;
  if (!medium_.FindFile(dataFile, path)) {
    const std::string ending = " does not run the nested setup and ends with 1603 on every machine that lacks its product";
    const std::string meant = UnquotedPathWithBlanks(entry.arguments);
    if (!meant.empty())
      checked.Add(line, Rule::kNestedPathUnquoted,
                  "the nested setup's data file " + Quoted(meant) +
                      " holds a blank and is not quoted: SETUP.EXE reads the path up to the first blank, finds no "
                      "data file " + Quoted(dataFile) + "," + ending + "; quote the path: \"" + meant + "\"" +
                      entry.arguments.substr(meant.size()));
    else
      checked.Add(line, Rule::kNestedDataFile,
                  "the nested setup's data file " + Quoted(dataFile) + " is not on the medium, so SETUP.EXE" + ending +
                      "; put it there or correct NestedInstall");
    return;
  }
  if (visited_.count(UpperCaseAscii(dataFile)) != 0) return;
  PackageFacts facts;
  if (CheckDataFile(dataFile, facts, nested) && !facts.productCode.empty() && facts.productCode != entry.productCode)
    checked.Add(line, Rule::kNestedProductCode,
                "NestedInstall names the product " + entry.productCode + " but the nested package's ProductCode is " +
                    facts.productCode + ", so NOUPDATE and the installed check look at the wrong product; write " +
                    facts.productCode);
}

}  // namespace

Findings CheckMedium(const MediumFolder& medium, const std::string& dataFile, const CheckOptions& options) {
  ScopedQuietPlatform quiet;
  MediumChecker checker(medium, options);
  PackageFacts facts;
  Findings findings;
  checker.CheckDataFile(dataFile, facts, findings);
  if (!options.everyDataFile) return findings;
  for (const std::string& name : medium.IniFiles()) {
    std::string path;
    std::string bytes;
    if (checker.Visited(name) || !medium.FindFile(name, path) || !MediumFolder::ReadFile(path, bytes) ||
        !LooksLikeSetupData(bytes))
      continue;
    checker.CheckDataFile(name, facts, findings);
  }
  return findings;
}

}  // namespace kq
