#pragma once
// The installation steps as the run sequence calls them, in their first order
// of call. SetupEngine implements them on Windows; the run sequence's endings
// table implements them with stand-ins. A new step is declared here, written
// in the engine and called by the run sequence.
//
// Questions answer with bool. Steps whose only other outcome is the end of
// the run return nothing and say which codes they may end it with; every
// step may also end it through RaiseInternalError.
#include <string>

namespace kq {

class SetupCommandLine;

class SetupSteps {
 public:
  virtual ~SetupSteps() = default;

  // Attaches the parsed command line (not owned).
  virtual void SetCommandLine(SetupCommandLine* commandLine) = 0;

  // --- From the beginning ---------------------------------------------------
  // A Windows Installer disk prompt is in progress (the "__MsiPromptForCD"
  // mutex exists).
  virtual bool IsPromptForCDMutexSet() = 0;
  // This Windows qualifies; false after the user was told why not.
  virtual bool IsPlatformQualified() = 0;
  // IncompatibleAppExit: ends the run with 1603 when one is installed.
  virtual void CheckIncompatibleApplications() = 0;
  // May switch the command line's setup folder to a temporary copy; sets
  // its temp-copy marker.
  virtual void CopySetupToTempFolder() = 0;
  // IncompatibleAppUninstall: ends the run with 1602 (declined or not
  // removed), 460393 (a removal restarts Windows), 3010 (it needs a restart
  // it did not start) or the uninstaller's code.
  virtual void UninstallIncompatibleApplications() = 0;
  // UpgradeConditions: ends the run with 1603 when none is met.
  virtual void CheckUpgradeConditions() = 0;
  // ShutdownApplication: ends the run with 1602 (declined) or 1603 (a
  // program stays open in a run that shows no boxes).
  virtual void ShutDownApplications() = 0;
  // The folder the package is read from (the data file's folder).
  virtual std::string GetPackageFolder() = 0;
  // Reads the product's codes and name from the package; false when it
  // cannot be read.
  virtual bool LoadProductInformation(const std::string& packagePath) = 0;
  // PreviousVersionUninstall and other builds of this product: true when
  // done; false when a product waited while the package could not be read
  // or the engine was not yet current (try again once the engine is
  // current): nothing is removed before the engine can be had. Ends the run
  // as UninstallIncompatibleApplications does.
  virtual bool UninstallPreviousVersions() = 0;

  // --- The Windows Installer engine ------------------------------------------
  // MSI.DLL is present and at least the MsiVersion of the setup data.
  virtual bool IsInstallerVersionCurrent() = 0;
  // The user may install the engine.
  virtual bool HasInstallPrivileges() = 0;
  // Starts the redistributable as the current child process; ends the run
  // with 1603 when it can be neither started nor downloaded.
  virtual void InstallWindowsInstaller() = 0;

  // --- Maintenance and the main installation ---------------------------------
  // CheckRegKey is empty or names an existing key (and value).
  virtual bool HasProductRegistryKey() = 0;
  // This product is installed from this very package.
  virtual bool IsCurrentVersionInstalled() = 0;
  // One of ProductFeatures is installed to run from source.
  virtual bool HasRunFromSourceFeatures() = 0;
  // Starts the maintenance installation as the current child process.
  virtual void RunMaintenanceInstaller() = 0;
  // A nested setup follows the main installation; `mainRestartWaits` says
  // whether the main installation's restart waits for the end of the whole
  // setup (RestartPolicy::MainRestartWaits: ONEREBOOT, or a REBOOT property
  // that suppresses restarts).
  virtual bool HasNestedInstall(bool* mainRestartWaits) = 0;
  // Starts the main installation as the current child process.
  virtual void RunMainInstaller(bool mainRestartWaits) = 0;
  // The product that NestedInstall names is installed; false without a
  // nested setup.
  virtual bool IsNestedProductInstalled() = 0;

  // --- The end ---------------------------------------------------------------
  // The nested setup was started and is the current child process.
  virtual bool LaunchNestedInstaller() = 0;
  // Programs that do not start are skipped.
  virtual void LaunchPostInstallApplications() = 0;
  // The product name into `name`; false (and `name` empty) when unknown.
  virtual bool GetProductName(std::string& name) = 0;
  // Removes the temporary copy when this run made it; `setupDone` when the
  // run ends installed (0, or 3010 with nothing left to resume).
  virtual void RemoveTempFolder(bool setupDone) = 0;
  // A run started from its temporary copy marks the copy's record as its
  // own as soon as it holds the instance mutex, so that no other setup
  // takes the copy for a leftover.
  virtual void ClaimTempCopy() = 0;
  // The copy this run works from outlives it: a nested setup runs from it
  // and goes on from there after a restart. Only the temporary copy's unit
  // changes what the command line says of the copy.
  virtual void KeepTempCopy() = 0;
};

}  // namespace kq
