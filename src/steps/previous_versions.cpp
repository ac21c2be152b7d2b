// Removing earlier versions of the product: the products the setup data
// lists (and the upgrade check queued), then this package's own product
// when another build of it is installed.
#include "sys/internal_error.h"
#include "sys/setup_exit_code.h"
#include "config/setup_command_line.h"
#include "steps/setup_engine.h"
#include "steps/software_messages.h"
#include "steps/uninstall_command.h"
#include "sys/messages.h"
#include "sys/setup_log.h"
#include "text/ascii_text.h"
#include "text/mbcs_path.h"

namespace kq {

bool SetupEngine::UninstallPreviousVersions() {
  SetupLog("Uninstalling previous versions");
  const SetupCommandLine& attached = RequireCommandLine(kLocationPreviousVersions);
  const SetupDataFile& data = attached.GetSetupDataFile();
  const bool silent = IsSilentUiLevel(attached.GetUiLevel());
  const std::string package = JoinPath(packageFolder, data.GetPackageName());

  const StringList& listed = data.GetPreviousVersionUninstall();
  for (size_t i = 0; i < listed.size(); ++i) {
    const std::string entry = listed[i];
    std::string displayName;
    std::string command;
    if (!GetUninstallCommand(entry.c_str(), displayName, command)) continue;
    // Without the package (typically no Windows Installer yet) the question
    // cannot name the new product: the run sequence asks again later.
    if (!msiLibrary.LoadProductInformation(package.c_str())) return false;
    if (IsOwnProduct(entry)) continue;
    if (!IsInstallerReadyForRemovals()) return false;
    RemovePreviousProduct(entry, displayName, command, silent);
  }

  if (!msiLibrary.LoadProductInformation(package.c_str())) return true;
  if (!msiLibrary.IsPackageProductInstalled() || !msiLibrary.IsDifferentPackageInstalled()) return true;
  const std::string entry = msiLibrary.GetProductCode();
  std::string displayName;
  std::string command;
  if (!GetUninstallCommand(entry.c_str(), displayName, command)) return true;
  if (!IsInstallerReadyForRemovals()) return false;
  RemovePreviousProduct(entry, displayName, command, silent);
  return true;
}

bool SetupEngine::IsOwnProduct(const std::string& entry) {
  const SetupCommandLine& attached = RequireCommandLine(kLocationPreviousVersions);
  const std::string package = JoinPath(packageFolder, attached.GetSetupDataFile().GetPackageName());
  if (!msiLibrary.LoadProductInformation(package.c_str()) || !EqualsNoCase(entry, msiLibrary.GetProductCode()))
    return false;
  // Removing it would make every second run remove the product and install
  // it again instead of repairing it.
  SetupLogF("Not removing %s: it is this package's own product, which a setup never removes", entry.c_str());
  return true;
}

void SetupEngine::RemovePreviousProduct(const std::string& entry, std::string displayName, std::string command,
                                        bool silent) {
  if (command.empty()) {
    SetupLogF("The earlier version %s may not be removed", entry.c_str());
    if (silent)
      LogSoftwareMessage(kMsgIncompatibleBlocks, kMsgError, {"_PRODUCT_NAME_," + displayName});
    else
      ShowSoftwareMessage(ownerWindow, kMsgIncompatibleBlocks, kMsgError, MB_OK | MB_ICONERROR,
                          {"_PRODUCT_NAME_," + displayName});
    RaiseSetupExitCode(kExitFailure);
  }
  if (silent) {
    if (!RemoveApplication(command.c_str())) RaiseSetupExitCode(kExitFailure);
    if (GetUninstallCommand(entry.c_str(), displayName, command)) RaiseSetupExitCode(kExitFailure);
    return;
  }
  // The old name goes first: the new product's placeholder is part of it.
  const std::vector<std::string> placeholders = {"_OLD_PRODUCT_NAME_," + displayName,
                                                 "_PRODUCT_NAME_," + msiLibrary.GetProductName(),
                                                 "_PRODUCT_VERSION_," + msiLibrary.GetProductVersion()};
  do {
    if (ShowSoftwareMessage(ownerWindow, kMsgUninstallPrevious, kMsgWarning, MB_YESNO | MB_ICONWARNING,
                            placeholders) != IDYES)
      RaiseSetupExitCode(kExitUserExit);
    if (!RemoveApplication(command.c_str())) RaiseSetupExitCode(kExitUserExit);
  } while (GetUninstallCommand(entry.c_str(), displayName, command));
}

bool SetupEngine::IsInstallerReadyForRemovals() {
  // An earlier version removed for a package whose engine this machine
  // cannot get (a MsiVersion no redistributable reaches, or one that cannot
  // even be read) would leave it with neither version. So removals wait
  // for the run sequence's Windows Installer check, after which it asks
  // again.
  if (!IsMsiVersionReadable()) {
    LogUnreadableMsiVersion("; no earlier version is removed");
    return false;
  }
  if (ReadInstallerState() == InstallerState::kCurrent) return true;
  SetupLog("The Windows Installer this package needs is not there yet; earlier versions are removed only after "
           "the Windows Installer check");
  return false;
}

}  // namespace kq
