#include "config/setup_data_file.h"

#include "config/setup_data_names.h"
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

// Appends the value text of every line of the section `name` (the text after
// '=' of a key line, the whole of any other line, comments included), trimmed,
// leaving out blank ones. False when there is no such section.
bool ReadList(const CIniFile& ini, const char* name, StringList& list) {
  IniSection* section = nullptr;
  if (!ini.FindSection(name, &section) || section == nullptr) return false;
  IniLineCollection* lines = nullptr;
  if (!section->GetLines(&lines) || lines == nullptr) RaiseInternalError(kLocationSetupDataList, kErrorNoLines);
  IniEnumerator<IniLine> enumerator = lines->CreateEnumerator();
  if (!enumerator.HasList()) RaiseInternalError(kLocationSetupDataList, kErrorEnumeratorWithoutList);
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
    RaiseInternalError(kLocationSetupDataLoad, failure.Code());
  }
  loaded_ = true;
  return true;
}

void SetupDataFile::ReadDocument(const CIniFile& ini) {
  IniSection* information = nullptr;
  if (!ini.FindSection(kSectionProductInformation, &information) || information == nullptr) {
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
      RaiseInternalError(kLocationSetupDataLoad, kErrorValueMissing);
    } else {
      key.value->clear();
    }
  }

  nestedInstallRead_ = !nestedInstall_.empty() && ReadNestedInstall(nestedInstall_, nestedInstallValue_);

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
  if (!loaded_) RaiseInternalError(kLocationSetupData, kErrorNotLoaded);
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
