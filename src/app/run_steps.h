#pragma once
// What the run sequence (worker_thread.cpp) calls: the SetupEngine's steps
// and the few system services around them (the dialog, the instance mutex,
// the resume shortcut, the waits, the restart). The program passes the real
// ones (worker_thread_win.cpp); the endings table of the unit tests passes
// stand-ins, so that the sequence's own code is what the table checks.
#include <cstdint>
#include <string>

namespace kq {

class IniFileOpener;
class SetupCommandLine;

class RunSteps {
 public:
  virtual ~RunSteps() = default;

  // False when the dialog has no engine.
  virtual bool HasEngine() = 0;

  // --- The program and its surroundings -------------------------------------
  // The program's file name ("" when it cannot be had) and command line.
  virtual std::string ProgramPath() = 0;
  virtual std::string ProgramCommandLine() = 0;
  virtual uint32_t UserAnsiCodePage() = 0;
  virtual uint32_t UserOemCodePage() = 0;
  // Where the setup data file is read from.
  virtual IniFileOpener& DataFileOpener() = 0;

  // --- The dialog: nothing here waits for the dialog's thread -----------------
  virtual void SetTitle(const std::string& title) = 0;
  virtual void ShowDialog(bool visible) = 0;
  // Whether Windows has asked to end the session.
  virtual bool SessionEnding() = 0;
  // The restart question: IDYES (6), IDNO (7), 0 when the box could not be
  // shown, or another value when the box was closed at the end of the session.
  virtual int AskToRestart(const std::string& text, const std::string& caption) = 0;
  // Sets the finish event, then posts the result to the dialog.
  virtual void SetFinishEvent() = 0;
  virtual void PostResult(uint32_t code) = 0;

  // --- Reboot control --------------------------------------------------------
  // False when another instance holds the mutex or it cannot be created.
  virtual bool CreateInstanceMutex(const std::string& dataFileName) = 0;
  virtual void ReleaseInstanceMutex() = 0;
  virtual int HookReboot(const std::string& tag, const std::string& restartProgram,
                         const std::string& restartArguments) = 0;
  virtual int UnhookReboot(const std::string& tag) = 0;
  virtual void StartRebootThread() = 0;
  // Waits for the current child process; true when a reboot was detected
  // (an exit code that asks for one, or the end of the session).
  virtual bool WaitForChild(uint32_t* exitCode) = 0;

  // --- The engine's steps (SetupEngine) ---------------------------------------
  virtual void SetCommandLine(SetupCommandLine* commandLine) = 0;
  virtual int IsPromptForCDMutexSet() = 0;
  virtual int IsPlatformQualified() = 0;
  virtual void CheckIncompatibleApplications() = 0;
  virtual void CopySetupToTempFolder() = 0;
  virtual void UninstallIncompatibleApplications() = 0;
  virtual void CheckUpgradeConditions() = 0;
  virtual void ShutDownApplications() = 0;
  virtual std::string GetPackageFolder() = 0;
  virtual void LoadProductInformation(const std::string& packagePath) = 0;
  virtual int UninstallPreviousVersions() = 0;
  virtual int IsInstallerVersionCurrent() = 0;
  virtual int HasInstallPrivileges() = 0;
  virtual void InstallWindowsInstaller() = 0;
  virtual int HasProductRegistryKey() = 0;
  virtual int IsCurrentVersionInstalled() = 0;
  virtual int HasRunFromSourceFeatures() = 0;
  virtual void RunMaintenanceInstaller() = 0;
  virtual int HasNestedInstall(int* rebootsSuppressed) = 0;
  virtual void RunMainInstaller(int rebootsSuppressed) = 0;
  virtual int LaunchNestedInstaller() = 0;
  virtual void LaunchPostInstallApplications() = 0;
  virtual void GetProductName(std::string& name) = 0;
  virtual void RemoveTempFolder() = 0;
};

// Runs the sequence through `steps` (null: the worker got no dialog) and its
// exit handling; returns the SetupExitCode.
uint32_t RunSetup(RunSteps* steps);

}  // namespace kq
