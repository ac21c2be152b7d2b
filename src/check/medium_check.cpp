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

class MediumChecker {
 public:
  MediumChecker(const MediumFolder& medium, const CheckOptions& options) : medium_(medium), options_(options) {}

  // Checks one data file and what it leads to; the package's facts when the
  // package could be read.
  // Its findings, then those of the nested setups, go to `out`.
  bool CheckDataFile(const std::string& relative, PackageFacts& facts, Findings& out);

 private:
  bool Load(CheckedDataFile& checked, const std::string& path);
  bool CheckPackage(CheckedDataFile& checked, const std::string& folder, PackageFacts& facts);
  void CheckPackageAgainstData(CheckedDataFile& checked, const PackageFacts& facts);
  void CheckRedistributables(CheckedDataFile& checked);
  // The nested setup's own findings go to `nested`.
  void CheckNestedSetup(CheckedDataFile& checked, Findings& nested);

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
    checked.Add(0, Severity::Error, "data-file-missing",
                "the setup data file is not on the medium; put it there or correct the name that points to it");
  } else if (Load(checked, path) && CheckNamesAndRequiredContent(checked)) {
    bool loaded = false;
    const uint32_t code = CatchSetupExitCode([&] {
      loaded = checked.Data().Load(std::string(), path, false);
      RaiseSetupExitCode(kExitSuccess);
    });
    if (!loaded) {
      checked.Add(0, Severity::Error, "load",
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
    checked.Add(0, Severity::Error, "load", "the file cannot be read");
    return false;
  }
  Findings encoding;
  CheckTextEncoding(bytes, options_.codePage, checked.File(), encoding);
  for (const Finding& finding : encoding)
    checked.Add(finding.line, finding.severity, finding.code.c_str(), finding.message);
  if (HasError(encoding)) return false;
  RecordedIniFile ini;
  try {
    ini.Load(path);
  } catch (const CKqIniFileException& failure) {
    checked.Add(static_cast<int>(failure.LineNumber()) + 1, Severity::Error, "load",
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
    checked.Add(line, Severity::Error, "package-missing",
                "PackageName is empty, so SETUP.EXE has no package to install; write the package's file name");
    return false;
  }
  if (options_.package != nullptr) {
    facts = *options_.package;
    return true;
  }
  if (!medium_.FindFile(JoinPath(folder, packageName), path)) {
    checked.Add(line, Severity::Error, "package-missing",
                "the package " + Quoted(packageName) + " is not beside the data file" +
                    (folder.empty() ? std::string() : " (in " + folder + ")") +
                    "; put it there or write its file name in PackageName");
    return false;
  }
  if (!ReadPackage(path, facts)) {
    checked.Add(line, Severity::Error, "package-unreadable",
                "the package " + Quoted(packageName) +
                    " does not open as a Windows Installer database with Property, Feature and "
                    "Component tables; build it again or name the right file");
    return false;
  }
  for (const auto& property :
       {std::make_pair("ProductCode", &facts.productCode), std::make_pair("ProductName", &facts.productName),
        std::make_pair("ProductVersion", &facts.productVersion)}) {
    if (property.second->empty())
      checked.Add(line, Severity::Error, "package-property",
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
    checked.Add(featureLines[i]->number, Severity::Error, "unknown-feature",
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
    if (std::find(facts.components.begin(), facts.components.end(), componentCode) != facts.components.end()) continue;
    const std::string other = findNoCase(facts.components, componentCode);
    checked.Add(line->number, Severity::Error, "unknown-component",
                "the package has no component " + componentCode + ", so this program silently never starts; " +
                    (other.empty() ? std::string("write the ComponentId of the program's component")
                                   : "write it as the package does: " + other));
  }

  uint32_t parts[3] = {0, 0, 0};
  if (facts.requiredEngine > 0 && !data.GetMsiVersion().empty() && ReadMsiVersion(data.GetMsiVersion(), parts)) {
    const uint32_t required[3] = {static_cast<uint32_t>(facts.requiredEngine / 100),
                                  static_cast<uint32_t>(facts.requiredEngine % 100), 0};
    const std::string version = std::to_string(required[0]) + "." + std::to_string(required[1]);
    if (!IsVersionAtLeast(parts, required)) {
      checked.Add(checked.KeyLine(kKeyMsiVersion), Severity::Warning, "msi-version-low",
                  "MsiVersion " + data.GetMsiVersion() + " is lower than the Windows Installer " + version +
                      " the package requires (summary information page count " + std::to_string(facts.requiredEngine) +
                      "): the engine check passes, then MSIEXEC refuses the "
                      "package; write MsiVersion=" +
                      version);
    } else if (!IsVersionAtLeast(required, parts)) {
      checked.Add(checked.KeyLine(kKeyMsiVersion), Severity::Warning, "msi-version-high",
                  "MsiVersion " + data.GetMsiVersion() + " is above the Windows Installer " + version +
                      " the package requires (summary information page count " + std::to_string(facts.requiredEngine) +
                      "), so machines that have " + version +
                      " download and install an engine the package does not need; write MsiVersion=" + version);
    }
  }

  if (!facts.upgradeCode.empty()) {
    auto checkKey = [&](const IniSourceLine& line, const std::string& key, const std::string& section) {
      if (!EqualsNoCase(key, facts.upgradeCode)) return;
      checked.Add(line.number, Severity::Error, "upgrade-code",
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
        checked.Add(line->number, Severity::Error, "removes-own-product",
                    removesOwn + "remove the entry, or write the ProductCode of the earlier version meant");
      else
        checked.Add(line->number, Severity::Warning, "own-product",
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
      checked.Add(line->number, Severity::Error, "removes-own-product",
                  removesOwn + "write " + facts.productCode + ",,LEAVE");
  }
  if (!conditions.empty() && !ownListed)
    checked.Add(checked.HeaderLine(kSectionUpgradeConditions), Severity::Warning, "upgrade-own-product",
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
      checked.Add(checked.KeyLine(pin.key), Severity::Error, "redistributable-pin",
                  std::string(pin.key) + " does not match the " + pin.file + " on the medium (its SHA-256 is " +
                      digest + "), so the download it pins is not that file; write " + pin.key + "=" + digest +
                      " or ship the file the pin names");
  }
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
    checked.Add(line, Severity::Error, "nested-data-file",
                "the nested setup's data file " + Quoted(dataFile) +
                    " is not on the medium, so SETUP.EXE silently skips the nested setup; put it there or correct "
                    "NestedInstall");
    return;
  }
  if (visited_.count(UpperCaseAscii(dataFile)) != 0) return;
  PackageFacts facts;
  if (CheckDataFile(dataFile, facts, nested) && !facts.productCode.empty() && facts.productCode != entry.productCode)
    checked.Add(line, Severity::Error, "nested-product-code",
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
  return findings;
}

}  // namespace kq
