// The steps that deal with other products standing in the way: products
// that make installation impossible, products that must be removed first,
// the installed product an upgrade package needs, and the registry key
// that marks this product as installed.
#include "sys/internal_error.h"
#include "sys/setup_exit_code.h"
#include "text/next_field.h"
#include "config/setup_command_line.h"
#include "steps/installed_version.h"
#include "steps/setup_engine.h"
#include "steps/software_entries.h"
#include "steps/software_messages.h"
#include "steps/uninstall_command.h"
#include "sys/messages.h"
#include "sys/registry_key.h"
#include "sys/setup_log.h"

namespace kq {

namespace {

std::vector<std::string> ProductNamePlaceholder(const std::string& displayName) {
  return {"_PRODUCT_NAME_," + displayName};
}

void ShowIncompatibleBlocks(HWND owner, const std::string& displayName) {
  ShowSoftwareMessage(owner, kMsgIncompatibleBlocks, kMsgError, MB_OK | MB_ICONERROR,
                      ProductNamePlaceholder(displayName));
}

// A field that cannot be split, in words.
constexpr char kFieldRule[] = "a field is quoted whole or not at all, and its quotes are closed";

// Logs why an [UpgradeConditions] entry cannot be used (`why`, then
// `detail`), then ends the run.
[[noreturn]] void RaiseBadUpgradeEntry(const std::string& entry, const char* why, const char* detail,
                                       uint32_t hresult) {
  SetupLogF("The [UpgradeConditions] entry \"%s\" cannot be used: %s%s; an entry is <uninstall key>,<version "
            "ranges>,<LEAVE or REMOVE>",
            entry.c_str(), why, detail);
  RaiseInternalError(kLocationUpgradeConditions, hresult);
}

HKEY PredefinedKey(RegistryRoot root) {
  switch (root) {
    case RegistryRoot::ClassesRoot:
      return HKEY_CLASSES_ROOT;
    case RegistryRoot::CurrentConfig:
      return HKEY_CURRENT_CONFIG;
    case RegistryRoot::CurrentUser:
      return HKEY_CURRENT_USER;
    case RegistryRoot::LocalMachine:
      return HKEY_LOCAL_MACHINE;
    case RegistryRoot::Users:
      return HKEY_USERS;
    case RegistryRoot::Unknown:
      break;
  }
  return nullptr;
}

}  // namespace

void SetupEngine::CheckIncompatibleApplications() {
  SetupLog("Verifying that no incompatible applications are installed");
  const SetupCommandLine& attached = RequireCommandLine(kLocationIncompatibleExit);
  for (const std::string& entry : attached.GetSetupDataFile().GetIncompatibleAppExit()) {
    std::string displayName;
    std::string command;
    if (!GetUninstallCommand(entry.c_str(), displayName, command)) continue;
    SetupLogF("The incompatible product %s is installed", entry.c_str());
    if (IsSilentUiLevel(attached.GetUiLevel()))
      LogSoftwareMessage(kMsgIncompatibleBlocks, kMsgError, ProductNamePlaceholder(displayName));
    else
      ShowIncompatibleBlocks(ownerWindow, displayName);
    RaiseSetupExitCode(kExitFailure);
  }
}

void SetupEngine::UninstallIncompatibleApplications() {
  SetupLog("Uninstalling incompatible applications");
  const SetupCommandLine& attached = RequireCommandLine(kLocationIncompatibleUninstall);
  const StringList& entries = attached.GetSetupDataFile().GetIncompatibleAppUninstall();
  for (size_t i = 0; i < entries.size(); ++i) {
    const std::string entry = entries[i];
    std::string displayName;
    std::string command;
    if (!GetUninstallCommand(entry.c_str(), displayName, command)) continue;
    SetupLogF("The incompatible product %s is installed", entry.c_str());
    // Nothing is removed without the user's consent.
    if (IsSilentUiLevel(attached.GetUiLevel())) {
      SetupLog("It is not removed without asking the user, which this UI level does not do");
      LogSoftwareMessage(kMsgIncompatibleBlocks, kMsgError, ProductNamePlaceholder(displayName));
      RaiseSetupExitCode(kExitFailure);
    }
    if (command.empty()) {
      ShowIncompatibleBlocks(ownerWindow, displayName);
      RaiseSetupExitCode(kExitFailure);
    }
    // A MsiVersion that cannot be read ends the run at the Windows Installer
    // check whatever is removed here, so nothing is: the run ends now, as
    // it would there.
    if (!IsMsiVersionReadable()) {
      LogUnreadableMsiVersion("; no incompatible product is removed");
      RaiseInternalError(kLocationInstallerVersion, kErrorTokenize);
    }
    const std::vector<std::string> placeholders = ProductNamePlaceholder(displayName);
    do {
      if (ShowSoftwareMessage(ownerWindow, kMsgUninstallIncompatible, kMsgWarning, MB_YESNO | MB_ICONWARNING,
                              placeholders) != IDYES)
        RaiseSetupExitCode(kExitUserExit);
      if (!RemoveApplication(command.c_str())) RaiseSetupExitCode(kExitUserExit);
    } while (GetUninstallCommand(entry.c_str(), displayName, command));
  }
}

void SetupEngine::CheckUpgradeConditions() {
  SetupLog("Checking upgrade conditions");
  SetupCommandLine& attached = RequireCommandLine(kLocationUpgradeConditions);
  SetupDataFile& data = attached.GetSetupDataFile();
  const StringList& conditions = data.GetUpgradeConditions();
  if (conditions.empty()) return;

  bool met = false;
  for (size_t i = 0; i < conditions.size(); ++i) {
    const UpgradeEntry condition = ReadUpgradeEntry(conditions[i]);
    const std::string& entry = condition.uninstallKey;
    if (condition.fields < 1)
      RaiseBadUpgradeEntry(conditions[i], "its uninstall key cannot be split: ", kFieldRule, kErrorTokenize);
    std::string displayName;
    std::string command;
    if (!GetUninstallCommand(entry.c_str(), displayName, command)) continue;
    if (condition.fields < 2)
      RaiseBadUpgradeEntry(conditions[i], "its version ranges cannot be split: ", kFieldRule, kErrorTokenize);
    // A product without version information compares as 0.0.0.0.
    VersionNumber installed;
    GetInstalledVersion(entry.c_str(), installed);
    if (!IsVersionInRanges(installed, condition.ranges)) continue;
    if (condition.fields < 3)
      RaiseBadUpgradeEntry(conditions[i], "its action cannot be split: ", kFieldRule, kErrorTokenize);
    switch (ReadUpgradeAction(condition.action)) {
      case UpgradeAction::Leave:
        break;
      case UpgradeAction::Remove:
        if (IsOwnProduct(entry)) break;
        data.AppendPreviousVersionUninstall(entry);
        // Known to the next run should this one be cut off once the base is gone.
        runRecord.AddRemovedBase(entry);
        SaveRunRecord();
        break;
      case UpgradeAction::Invalid:
        RaiseBadUpgradeEntry(conditions[i], "its action is neither LEAVE nor REMOVE: ", condition.action.c_str(),
                             kErrorUnknownName);
    }
    met = true;
  }
  if (met) return;
  // A base that an interrupted run of this very medium found and began to
  // remove is gone now: that run is finished instead of refused.
  for (const std::string& line : conditions) {
    const UpgradeEntry condition = ReadUpgradeEntry(line);
    if (!runRecord.HasRemovedBase(condition.uninstallKey)) continue;
    std::string displayName;
    std::string command;
    if (GetUninstallCommand(condition.uninstallKey.c_str(), displayName, command)) continue;
    SetupLogF("An earlier run of this setup found %s and began to remove it; the upgrade goes on",
              condition.uninstallKey.c_str());
    return;
  }
  // An upgrade package without its base cannot install: the user is told
  // at every UI level that allows a box (a quiet run logs the message).
  ShowSoftwareMessage(ownerWindow, kMsgNoUpgradeVersion, kMsgError, MB_OK | MB_ICONERROR);
  RaiseSetupExitCode(kExitFailure);
}

bool SetupEngine::HasProductRegistryKey() {
  SetupLog("Checking for the product's registry key");
  const SetupCommandLine& attached = RequireCommandLine(kLocationProductRegistryKey);
  const std::string& value = attached.GetSetupDataFile().GetCheckRegKey();
  if (value.empty()) return true;
  RegistryKeyCheck check;
  if (!ReadRegistryKeyCheck(value, check)) {
    SetupLogF("CheckRegKey=%s in %s cannot be read: %s; it is <root>,<subkey>[,<value name>]", value.c_str(),
              attached.GetDataFileName().c_str(), kFieldRule);
    RaiseInternalError(kLocationProductRegistryKey, kErrorTokenize);
  }
  const HKEY root = PredefinedKey(ReadRegistryRoot(check.root));
  if (root == nullptr) {
    SetupLogF("CheckRegKey=%s in %s names the root \"%s\": it is one of HKLM, HKCU, HKCR, HKCC, HKU or their "
              "long names such as HKEY_LOCAL_MACHINE, in capitals",
              value.c_str(), attached.GetDataFileName().c_str(), check.root.c_str());
    RaiseInternalError(kLocationProductRegistryKey, kErrorUnknownName);
  }

  // Own view first; a 64-bit product's keys are only in the 64-bit view.
  for (REGSAM access : ReadAccessByView()) {
    CRegistryKey key;
    if (key.Open(root, check.subkey.c_str(), access) != ERROR_SUCCESS) continue;
    DWORD size = 0;
    if (check.valueName.empty() || key.QueryValueSize(check.valueName.c_str(), size) == ERROR_SUCCESS) return true;
  }
  return false;
}

}  // namespace kq
