#include "config/setup_data_file.h"

#include "config/setup_data_names.h"
#include "sys/format.h"
#include "sys/internal_error.h"
#include "sys/run_platform.h"
#include "text/next_field.h"
#include "ini/ini_enumerator.h"
#include "ini/ini_typed_collection.h"
#include "ini/ini_file.h"
#include "ini/size_limited_opener.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {


// Setup data is a few kilobytes. The document takes many times a file's size
// in memory, so a larger file is refused (internal error 1 with
// ERROR_FILE_TOO_LARGE) before it can exhaust the process's memory.
constexpr uint64_t kMaxDataFileBytes = 1024 * 1024;

// Logs why the data file `file` cannot be used: `format` takes its name,
// then `detail`.
void LogDataFileReason(const std::string& file, const char* format, const char* detail) {
  RunLog(Format(format, file.c_str(), detail));
}

// Logs that a section's lines cannot be had, then ends the run with `hresult`.
[[noreturn]] void RaiseUnreadableList(const CIniFile& ini, const char* name, uint32_t hresult) {
  LogDataFileReason(ini.GetFileName(), "The setup data file \"%s\": the lines of its section [%s] cannot be read",
                    name);
  RaiseInternalError(kLocationSetupDataList, hresult);
}

// Why a data file could not be loaded, in the words a publisher acts on.
std::string LoadFailureReason(const CKqIniFileException& failure, bool tooLarge) {
  if (tooLarge) return "it is larger than 1 MB, the most setup data this setup reads";
  const long line = failure.LineNumber() + 1;
  switch (failure.Code()) {
    case kIniErrorFileNotFound:
    case 3:  // ERROR_PATH_NOT_FOUND
      return "it does not exist";
    case kIniErrorAccessDenied:
      return "access to it is denied";
    case 32:  // ERROR_SHARING_VIOLATION
      return "another program holds it open";
    case kIniErrorNoUnicodeTranslation:
      return Format("line %ld is not valid in the encoding its byte-order mark announces, or holds a character "
                    "that the user's ANSI code page cannot represent",
                    line);
    case kIniErrorInvalidData:
      return Format("line %ld, \"%s\": %s", line, failure.LineText().c_str(), failure.Message().c_str());
  }
  return Format("error %u: %s", static_cast<unsigned>(failure.Code()), failure.Message().c_str());
}

// Whether the file began with FE FF, the byte-order mark of big-endian
// UTF-16, which the INI library reads as single bytes: the mark and the
// first header then make a plain line of the unnamed section.
bool IsBigEndianUtf16(const CIniFile& ini) {
  IniSection* unnamed = nullptr;
  std::string first;
  return ini.FindSection(CIniFile::kUnnamedSection, &unnamed) && unnamed != nullptr && unnamed->GetLine(1, &first) &&
         first.compare(0, 2, "\xFE\xFF") == 0;
}

// Appends the value text of every line of the section `name` (the text after
// '=' of a key line, the whole of any other line, comments included), trimmed,
// leaving out blank ones. False when there is no such section.
bool ReadList(const CIniFile& ini, const char* name, StringList& list) {
  IniSection* section = nullptr;
  if (!ini.FindSection(name, &section) || section == nullptr) return false;
  IniLineCollection* lines = nullptr;
  if (!section->GetLines(&lines) || lines == nullptr) RaiseUnreadableList(ini, name, kErrorNoLines);
  IniEnumerator<IniLine> enumerator = lines->CreateEnumerator();
  if (!enumerator.HasList()) RaiseUnreadableList(ini, name, kErrorEnumeratorWithoutList);
  IniLine* line = nullptr;
  size_t fetched = 0;
  while (enumerator.Next(1, &line, &fetched) && fetched == 1) {
    std::string value = line->GetValue();
    TrimBlanks(value);
    if (!value.empty()) list.push_back(value);
  }
  return true;
}

}  // namespace

bool SetupDataFile::Load(const std::string& folder, const std::string& fileName, bool probing) {
  Clear();
  sourceFolder_ = folder;
  const std::string path = JoinPath(folder, fileName);
  RunLog("Loading setup data file: " + path);
  SizeLimitedOpener limited(*opener_, kMaxDataFileBytes);
  try {
    CIniFile ini(limited);
    ini.Load(path);
    ReadDocument(ini);
  } catch (const CKqIniFileException& failure) {
    RunLog(failure.Message());
    if (limited.Refused()) RunLog(path + " is larger than 1 MB, the most setup data this setup reads");
    if (probing) {
      Clear();
      return false;
    }
    LogDataFileReason(path, "The setup data file \"%s\" cannot be read: %s",
                      LoadFailureReason(failure, limited.Refused()).c_str());
    RaiseInternalError(kLocationSetupDataLoad, failure.Code());
  }
  loaded_ = true;
  return true;
}

void SetupDataFile::ReadDocument(const CIniFile& ini) {
  IniSection* information = nullptr;
  if (!ini.FindSection(kSectionProductInformation, &information) || information == nullptr) {
    LogDataFileReason(ini.GetFileName(),
                      IsBigEndianUtf16(ini) ? "The setup data file \"%s\" is big-endian UTF-16 text, which this setup "
                                              "does not read: save it as ANSI, UTF-8 or UTF-16 little-endian text"
                                            : "The setup data file \"%s\" has no [%s] section, which names the "
                                              "package (section and key names are case-sensitive)",
                      kSectionProductInformation);
    RaiseInternalError(kLocationSetupDataLoad, kErrorSectionMissing);
  }
  struct Key {
    const char* name;
    std::string* value;
  };
  const Key keys[] = {
      {kKeyPackageName, &packageName_},
      {kKeyCheckRegKey, &checkRegKey_},
      {kKeyPlatforms, &platforms_},
      {kKeyNestedInstall, &nestedInstall_},
      {kKeyMsiVersion, &msiVersion_},
      {kKeyAllowNTServer, &allowNTServer_},
      {kKey9xMsiInstaller, &msiInstaller9x_},
      {kKeyNTMsiInstaller, &msiInstallerNT_},
      {kKey9xMsiInstallerSHA256, &msiInstaller9xSha256_},
      {kKeyNTMsiInstallerSHA256, &msiInstallerNTSha256_},
  };
  for (const Key& key : keys) {
    std::string value;
    if (information->GetValue(key.name, &value)) {
      TrimBlanks(value);
      *key.value = value;
    } else if (key.value == &packageName_) {
      RunLog(Format("The setup data file \"%s\" has no %s key in [%s]: it names the package to install (key names "
                    "are case-sensitive)",
                    ini.GetFileName().c_str(), key.name, kSectionProductInformation));
      RaiseInternalError(kLocationSetupDataLoad, kErrorValueMissing);
    } else {
      key.value->clear();
    }
  }

  nestedInstallRead_ = !nestedInstall_.empty() && ReadNestedInstall(nestedInstall_, nestedInstallValue_);
  msiVersionRead_ = !msiVersion_.empty() && ReadMsiVersion(msiVersion_, msiVersionValue_);

  struct List {
    const char* name;
    StringList* list;
  };
  const List lists[] = {
      {kSectionProductFeatures, &productFeatures_},
      {kSectionPreviousVersionUninstall, &previousVersionUninstall_},
      {kSectionShutdownApplication, &shutdownApplication_},
      {kSectionIncompatibleAppExit, &incompatibleAppExit_},
      {kSectionIncompatibleAppUninstall, &incompatibleAppUninstall_},
      {kSectionUpgradeConditions, &upgradeConditions_},
      {kSectionLaunchApplications, &launchApplications_},
  };
  for (const List& list : lists) {
    StringList entries;
    if (ReadList(ini, list.name, entries)) {
      list.list->insert(list.list->end(), entries.begin(), entries.end());
    } else if (list.list == &productFeatures_) {
      LogDataFileReason(ini.GetFileName(),
                        "The setup data file \"%s\" has no [%s] section, which lists the features to install "
                        "(section names are case-sensitive)",
                        list.name);
      RaiseInternalError(kLocationSetupDataLoad, kErrorSectionMissing);
    } else {
      list.list->clear();
    }
  }
}

void SetupDataFile::SetSourceFolder(const char* folder) {
  sourceFolder_.clear();
  if (folder != nullptr) sourceFolder_ = folder;
}

void SetupDataFile::Clear() {
  loaded_ = false;
  nestedInstallRead_ = false;
  nestedInstallValue_ = NestedInstallValue();
  msiVersionRead_ = false;
  msiVersionValue_ = MsiVersion();
  for (std::string* text : {&sourceFolder_, &checkRegKey_, &msiVersion_, &nestedInstall_, &packageName_,
                            &platforms_, &allowNTServer_, &msiInstaller9x_, &msiInstallerNT_,
                            &msiInstaller9xSha256_, &msiInstallerNTSha256_}) {
    text->clear();
  }
  for (StringList* list : {&productFeatures_, &previousVersionUninstall_, &shutdownApplication_,
                           &incompatibleAppExit_, &incompatibleAppUninstall_, &upgradeConditions_,
                           &launchApplications_}) {
    list->clear();
  }
}

void SetupDataFile::CheckLoaded() const {
  if (loaded_) return;
  RunLog("The setup data was asked for before a setup data file was loaded");
  RaiseInternalError(kLocationSetupData, kErrorNotLoaded);
}

#define KQ_CHECKED_ACCESSOR(Type, Name, field) \
  const Type& SetupDataFile::Name() const {    \
    CheckLoaded();                             \
    return field;                              \
  }

KQ_CHECKED_ACCESSOR(std::string, GetPackageName, packageName_)
KQ_CHECKED_ACCESSOR(std::string, GetCheckRegKey, checkRegKey_)
KQ_CHECKED_ACCESSOR(std::string, GetPlatforms, platforms_)
KQ_CHECKED_ACCESSOR(std::string, GetNestedInstall, nestedInstall_)
KQ_CHECKED_ACCESSOR(std::string, GetMsiVersion, msiVersion_)

const MsiVersion* SetupDataFile::GetMsiVersionValue() const {
  CheckLoaded();
  return msiVersionRead_ ? &msiVersionValue_ : nullptr;
}

const NestedInstallValue* SetupDataFile::GetNestedInstallValue() const {
  CheckLoaded();
  return nestedInstallRead_ ? &nestedInstallValue_ : nullptr;
}
KQ_CHECKED_ACCESSOR(std::string, GetAllowNTServer, allowNTServer_)
KQ_CHECKED_ACCESSOR(std::string, Get9xMsiInstaller, msiInstaller9x_)
KQ_CHECKED_ACCESSOR(std::string, GetNTMsiInstaller, msiInstallerNT_)
KQ_CHECKED_ACCESSOR(std::string, Get9xMsiInstallerSHA256, msiInstaller9xSha256_)
KQ_CHECKED_ACCESSOR(std::string, GetNTMsiInstallerSHA256, msiInstallerNTSha256_)
KQ_CHECKED_ACCESSOR(StringList, GetProductFeatures, productFeatures_)
KQ_CHECKED_ACCESSOR(StringList, GetPreviousVersionUninstall, previousVersionUninstall_)
KQ_CHECKED_ACCESSOR(StringList, GetShutdownApplication, shutdownApplication_)
KQ_CHECKED_ACCESSOR(StringList, GetIncompatibleAppExit, incompatibleAppExit_)
KQ_CHECKED_ACCESSOR(StringList, GetIncompatibleAppUninstall, incompatibleAppUninstall_)
KQ_CHECKED_ACCESSOR(StringList, GetUpgradeConditions, upgradeConditions_)
KQ_CHECKED_ACCESSOR(StringList, GetLaunchApplications, launchApplications_)

#undef KQ_CHECKED_ACCESSOR

void SetupDataFile::AppendPreviousVersionUninstall(const std::string& uninstallKey) {
  CheckLoaded();
  previousVersionUninstall_.push_back(uninstallKey);
}

}  // namespace kq
