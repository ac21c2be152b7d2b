#pragma once
// SETUP.INI: the package, the conditions of the installation and the lists of
// software to close, remove or start. Loaded once while the command line is
// parsed; read by the installation steps through the accessors, each of which
// ends the run with internal error kLocationSetupData (kErrorNotLoaded)
// before a completed load.
#include <string>
#include <vector>

#include "config/msi_version.h"
#include "config/nested_install.h"

#include "ini/ini_byte_file.h"

namespace kq {

class CIniFile;

using StringList = std::vector<std::string>;

class SetupDataFile {
 public:
  // `opener` (the file system unless a test gives memory files) must
  // outlive the object.
  explicit SetupDataFile(IniFileOpener& opener = PlatformFileOpener()) : opener_(&opener) {}

  // Loads `folder` + `fileName`; true when loaded. Every failure ends the
  // run through RaiseInternalError (kLocationSetupDataLoad,
  // kLocationSetupDataList), except that with `probing` a file the INI
  // library cannot load gives false (and an empty object).
  bool Load(const std::string& folder, const std::string& fileName, bool probing);

  // Empties the source folder and sets it when a folder is given.
  void SetSourceFolder(const char* folder);

  // Not loaded, every text (the source folder too) and list empty.
  void Clear();
  bool IsLoaded() const { return loaded_; }
  const std::string& GetSourceFolder() const { return sourceFolder_; }

  const std::string& GetPackageName() const;
  const std::string& GetCheckRegKey() const;
  const std::string& GetPlatforms() const;
  const std::string& GetNestedInstall() const;
  // The NestedInstall value as read at load; null when there is none or it
  // cannot be read (GetNestedInstall then tells what was written).
  const NestedInstallValue* GetNestedInstallValue() const;
  const std::string& GetMsiVersion() const;
  // MsiVersion as read at load; null when there is none (any Windows
  // Installer will do) or it cannot be read (GetMsiVersion then tells what
  // was written).
  const MsiVersion* GetMsiVersionValue() const;
  const std::string& GetAllowNTServer() const;
  const std::string& Get9xMsiInstaller() const;
  const std::string& GetNTMsiInstaller() const;
  // Optional SHA-256 (64 hexadecimal digits) a downloaded redistributable
  // must have before it is started; empty when not set.
  const std::string& Get9xMsiInstallerSHA256() const;
  const std::string& GetNTMsiInstallerSHA256() const;

  const StringList& GetProductFeatures() const;
  const StringList& GetPreviousVersionUninstall() const;
  const StringList& GetShutdownApplication() const;
  const StringList& GetIncompatibleAppExit() const;
  const StringList& GetIncompatibleAppUninstall() const;
  const StringList& GetUpgradeConditions() const;
  const StringList& GetLaunchApplications() const;

  // The removal list also grows at run time (products an upgrade condition
  // marks for removal).
  void AppendPreviousVersionUninstall(const std::string& uninstallKey);

 private:
  void ReadDocument(const CIniFile& ini);
  void CheckLoaded() const;

  IniFileOpener* opener_;
  bool loaded_ = false;
  std::string sourceFolder_;
  std::string checkRegKey_;
  std::string msiVersion_;
  MsiVersion msiVersionValue_;
  bool msiVersionRead_ = false;
  std::string nestedInstall_;
  NestedInstallValue nestedInstallValue_;
  bool nestedInstallRead_ = false;
  std::string packageName_;
  std::string platforms_;
  std::string allowNTServer_;
  std::string msiInstaller9x_;
  std::string msiInstallerNT_;
  std::string msiInstaller9xSha256_;
  std::string msiInstallerNTSha256_;
  StringList productFeatures_;
  StringList previousVersionUninstall_;
  StringList shutdownApplication_;
  StringList incompatibleAppExit_;
  StringList incompatibleAppUninstall_;
  StringList upgradeConditions_;
  StringList launchApplications_;
};

}  // namespace kq
