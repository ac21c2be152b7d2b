#pragma once
// SetupEngine: the object whose operations are the installation steps the
// run sequence calls in order. Created by the progress dialog with its
// window and end-session event, used only by the worker thread.
#include <windows.h>

#include <string>

#include "config/nested_install.h"
#include "http/download_progress.h"
#include "sys/scoped_handle.h"
#include "msi/msi_library.h"
#include "steps/temp_copy.h"
#include "steps/setup_steps.h"
#include "steps/windows_family.h"

namespace kq {

class SetupCommandLine;

class SetupEngine : public SetupSteps {
 public:
  // Reads the program's own folder (setupFolder and packageFolder) and
  // registers `ownerWindow` as the owner of internal-error boxes.
  SetupEngine(HWND ownerWindow, HANDLE endSessionEvent);
  ~SetupEngine() override;
  SetupEngine(const SetupEngine&) = delete;
  SetupEngine& operator=(const SetupEngine&) = delete;

  // Attaches the parsed command line (not owned) and appends the folder part
  // of its setup data file name to packageFolder (Lang\SETUP.INI: Lang\).
  void SetCommandLine(SetupCommandLine* commandLine) override;

  // --- Pre-install checks -------------------------------------------------
  bool IsPromptForCDMutexSet() override;
  // Sets platformId; a message box tells the user why a Windows does not
  // qualify.
  bool IsPlatformQualified() override;
  bool IsInstallerVersionCurrent() override;
  bool HasInstallPrivileges() override;

  // --- Product information (forwards to the MsiLibrary) --------------------
  bool LoadProductInformation(const std::string& packagePath) override;
  bool IsCurrentVersionInstalled() override;
  bool GetProductName(std::string& name) override;

  // --- Installer invocation -----------------------------------------------
  bool HasRunFromSourceFeatures() override;
  void RunMaintenanceInstaller() override;
  bool HasNestedInstall(bool* mainRestartWaits) override;
  void RunMainInstaller(bool mainRestartWaits) override;
  bool IsNestedProductInstalled() override;
  bool LaunchNestedInstaller() override;
  void LaunchPostInstallApplications() override;
  // True when the uninstall command ran and ended with 0; false when there was
  // nothing to run, it did not start, or the user cancelled it (1602). A
  // reboot ends the run with 460393, a restart asked for and not started
  // (3010) with 3010, any other exit code with that code.
  bool RemoveApplication(const char* command);

  // --- Temporary copy of the setup ------------------------------------------
  // Copies setupFolder into a new temporary folder and works from there
  // (setupFolder and the command line's setup folder follow it, marker 1).
  // The copy's record (the medium, this process, the upgrade bases taken
  // over from the copies of this medium's earlier runs) is written before
  // the first file, and the copies of earlier runs that are over are
  // removed once it is. When the copy is skipped or fails, the folder keeps
  // only its record and the run goes on from the medium with marker 2;
  // with marker 2 already set, nothing is copied. A run started from a
  // temporary copy (/~, marker 1) reads the package from the recorded
  // medium while that still holds the same package. Internal error at
  // kLocationTempCopy without a command line.
  void CopySetupToTempFolder() override;
  // With marker 1, deletes setupFolder, scheduling what is in use for the
  // next restart; only a KIESxxxx folder directly inside the user's
  // temporary-files folder is ever deleted. A run that is not done keeps
  // the record while it holds upgrade bases; a run that is done also
  // removes every leftover copy whose run is over.
  void RemoveTempFolder(bool setupDone) override;
  void ClaimTempCopy() override;
  void KeepTempCopy() override;
  // The identity of the medium this run is of (MediumIdentity): the
  // claimed record's for a run from a copy, else the content of setupFolder
  // before the copy is made; empty when unknown (a record of an earlier
  // version, an unreadable medium, no command line yet).
  const std::string& RunMediumIdentity();

  // --- Windows Installer bootstrap ------------------------------------------
  // Unloads MSI.DLL and starts the Windows Installer redistributable of the
  // running family (platformId 1 or 2) from setupFolder or, when the medium
  // does not carry it, downloaded over HTTP; leaves it as the current child
  // process. When it can be neither started nor downloaded: message 13 (with
  // MsiVersion, else "1.10"), then the run ends with 1603.
  void InstallWindowsInstaller() override;
  // Starts `command` (with " /Q" when InstallsEngineQuietly) as the current
  // child process; true when it started.
  bool LaunchInstallerProgram(const std::string& command);
  // Downloads the redistributable into a new "MSI" temporary file: true with
  // `localPath` set, false when nothing usable was downloaded (the file is then
  // deleted). With NTMsiInstallerSHA256 / 9xMsiInstallerSHA256 set, the file
  // must have that SHA-256.
  bool DownloadWindowsInstaller(std::string& localPath);
  // The download's progress callback; `callbackData` is the window whose
  // control 1001 (a progress bar) follows the download: shown with the
  // percentage while reading or complete with a known size, hidden
  // otherwise. Never blocks on that window's thread. Returns 200.
  static int KQ_CDECL UpdateDownloadProgress(const char* localPath, int totalSize, int bytesSoFar, int status,
                                             int bytesPerSecond, uintptr_t callbackData);

  // --- Conflicting software and earlier versions ---------------------------
  // Each check returns when setup may go on; every other outcome ends the
  // run (1603 when installation is impossible, 1602 when the user declines
  // or a removal does not complete, or what RemoveApplication raises).
  // IncompatibleAppExit: an installed one ends the run (message 11).
  void CheckIncompatibleApplications() override;
  // IncompatibleAppUninstall: each installed one is removed after the user
  // agreed (message 9); never silently.
  void UninstallIncompatibleApplications() override;
  // UpgradeConditions: one entry must find its product in its version
  // ranges (else message 7, even silently); REMOVE queues the product in
  // PreviousVersionUninstall and records it in the copy's run record. An
  // entry that an interrupted run of this medium recorded so, and whose
  // product is gone now, counts as met.
  void CheckUpgradeConditions() override;
  // ShutdownApplication: each program's window is closed, asking the user
  // (message 8) while one stays.
  void ShutDownApplications() override;
  bool HasProductRegistryKey() override;
  // Removes the PreviousVersionUninstall products, then this package's
  // product when another build of it is installed (message 10). Nothing is
  // removed while the Windows Installer is older than MsiVersion, or
  // MsiVersion cannot be read: false then, for the run sequence to ask
  // again after its Windows Installer check.
  bool UninstallPreviousVersions() override;

  // True when no window of the entry's class remains; false when one does
  // or the entry has no readable class.
  bool CloseApplication(const std::string& entry);
  // True when the class is non-empty and a top-level window of it exists.
  bool IsWindowClassPresent(const char* windowClass);
  // Sends the first window of the class the entry's message (WM_CLOSE and
  // WM_QUIT by default) and waits for the class to go; true when it is gone.
  bool CloseWindowByClass(const char* windowClass, int waitMs, int message, int wParam, int lParam);

  HWND GetOwnerWindow() const { return ownerWindow; }
  HANDLE GetEndSessionEvent() const { return endSessionEvent; }
  const std::string& GetSetupFolder() const { return setupFolder; }
  void SetSetupFolder(const std::string& folder) { setupFolder = folder; }
  std::string GetPackageFolder() override { return packageFolder; }
  // The platform id Windows reported: 1 (9x), 2 (NT), -1 before the check.
  int GetPlatformId() const { return WindowsPlatformId(platformId); }
  MsiLibrary& GetMsiLibrary() { return msiLibrary; }
  SetupCommandLine* GetCommandLine() const { return commandLine; }
  // The last program a step started and left for the run sequence to wait
  // for (an installer, the redistributable, a nested setup); null before
  // the first. The next start closes it.
  HANDLE CurrentChildProcess() const { return currentChild.Get(); }

 private:
  // The command line, or an internal error at `location` when none is attached.
  SetupCommandLine& RequireCommandLine(uint32_t location) const;
  void ShowErrorBox(uint32_t messageId) const;
  // Whether a downloaded redistributable may be started (its SHA-256 when one is configured).
  bool IsDownloadTrusted(const std::string& localPath) const;
  // The run record of a run started from a temporary copy, and the folder
  // its package is installed from.
  void TakeOverCopy();
  // Whether this run works from a copy whose record it keeps (runRecord's
  // medium is then the medium the copy was made of).
  bool WorksFromRecordedCopy() const {
    return !runRecordFolder.empty() && runRecordFolder == setupFolder && !runRecord.medium.empty();
  }
  // Writes runRecord into runRecordFolder, if any.
  void SaveRunRecord();
  // Deletes everything of `copy` but its record, which then keeps this
  // run's upgrade bases while the setup runs from its medium.
  void KeepRecordOnly(const std::string& copy, const char* why);
  // Says in the log that this run keeps no record, and what a rerun will do.
  void LogNoRunRecord(const char* reason) const;
  // Whether the nested setup's data file (the first word of its arguments)
  // is in setupFolder; logs the path and the error when it is not.
  bool HasNestedDataFile(const std::string& arguments) const;
  // The data file's NestedInstall value; null when there is none, or (said
  // in the log) when it cannot be read.
  const NestedInstallValue* ReadableNestedInstall(const SetupCommandLine& attached) const;
  // The folder the nested setup starts from: the medium of a run that works
  // from a temporary copy while the medium's SETUP.EXE, the nested data file
  // and the nested package are the same bytes as the copy's, else
  // setupFolder: nothing named by a record is started on its word alone.
  std::string NestedSetupFolder(const std::string& dataFile) const;
  // Whether the copy this run works from holds the medium its record names
  // (the same identity); logs what is damaged when it does not.
  bool IsCopyWhole();
  // Whether a removal entry names the product of this very package, which
  // is never removed as an earlier version (logged); false while the
  // package cannot be read.
  bool IsOwnProduct(const std::string& entry);
  // The Windows Installer against MsiVersion; logs only what MSI.DLL's
  // version query logs.
  enum class InstallerState { kCurrent, kOutdated, kRequirementUnreadable };
  InstallerState ReadInstallerState();
  // MsiVersion is empty or can be read, whatever the engine.
  bool IsMsiVersionReadable() const;
  // Says which MsiVersion of which data file cannot be read and how one is
  // written, then `consequence`.
  void LogUnreadableMsiVersion(const char* consequence) const;
  // Whether earlier versions may be removed now: MsiVersion can be read and
  // the Windows Installer is current (logged when not).
  bool IsInstallerReadyForRemovals();
  // Asks (or, silently, decides) and removes one found previous product.
  void RemovePreviousProduct(const std::string& entry, std::string displayName, std::string command,
                             bool silent);

  HWND ownerWindow;
  HANDLE endSessionEvent;  // owned by the dialog
  std::string setupFolder;
  std::string packageFolder;
  WindowsFamily platformId = WindowsFamily::kUnknown;  // set by IsPlatformQualified
  MsiLibrary msiLibrary;
  SetupCommandLine* commandLine = nullptr;
  ScopedHandle currentChild;
  RunRecord runRecord;
  std::string runRecordFolder;  // the copy whose record runRecord is; empty when none is kept
};

}  // namespace kq
