#include "app/worker_thread.h"

#include <objbase.h>

#include <string>
#include <vector>

#include "app/reboot_policy.h"
#include "app/setup_dialog.h"
#include "sys/setup_exit_code.h"
#include "config/next_field.h"
#include "config/setup_command_line.h"
#include "steps/setup_engine.h"
#include "sys/child_process.h"
#include "sys/instance_mutex.h"
#include "sys/mbcs_path.h"
#include "sys/messages.h"
#include "sys/reboot_thread.h"
#include "sys/resume_shortcut.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

// One run of the setup: the state the worker keeps from start to end.
class RunSequence {
 public:
  explicit RunSequence(SetupDialog* dialog) : dialog_(dialog) {}

  // Runs the sequence to its ending and returns the code it ended with.
  uint32_t Run() { return CatchSetupExitCode([this] { Body(); }); }

  // Bookkeeping for every ending: the resume shortcut, the instance mutex,
  // the temporary copy, and the result for the dialog.
  void Finish(uint32_t code);

 private:
  [[noreturn]] void Body();
  void StartUp();
  void FromTheBeginning();
  void InstallWindowsInstaller();
  void Maintenance();
  void MainInstallation();
  [[noreturn]] void NestedInstallerAndEnd();
  [[noreturn]] void FinalRebootOrEnd();

  // Places the resume shortcut with `tag`; remembers whether it is there.
  void Hook(const std::string& tag);
  // Removes it again when this run placed it, logging `reason` first.
  void Unhook(const char* reason, const std::string& tag);
  // Waits for the current child process; true when a reboot was detected.
  bool WaitForChild(uint32_t* exitCode);
  HWND Window() const { return dialog_ != nullptr ? dialog_->GetWindow() : nullptr; }

  SetupDialog* dialog_;
  SetupEngine* engine_ = nullptr;
  SetupCommandLine commandLine_;
  std::string setupFolder_;
  std::string argumentText_;
  std::string intermediateTag_;
  std::string finalTag_;
  std::string restartProgram_;
  std::string restartArguments_;
  ScopedHandle instanceMutex_;
  bool hookInPlace_ = false;
  int installMode_ = kModeDefault;
  int previousVersionsDone_ = 0;
  int nestedInstall_ = 0;
  int rebootsSuppressed_ = 0;
  bool rebootRequired_ = false;
  uint32_t mainExitCode_ = 0;
  uint32_t nestedExitCode_ = 0;
};

void RunSequence::Body() {
  StartUp();
  // A resume after a final reboot: only the nested installer is left.
  if (UnhookReboot(Window(), finalTag_)) {
    SetupLog("Starting the SETUP process at launching the nested installation");
    ShowWindow(Window(), SW_HIDE);
    nestedInstall_ = 1;
    NestedInstallerAndEnd();
  }
  SetupLog("Starting the SETUP process from the beginning");
  // A shortcut left behind by an interrupted earlier run.
  UnhookReboot(Window(), intermediateTag_);
  FromTheBeginning();
  NestedInstallerAndEnd();
}

void RunSequence::StartUp() {
  if (dialog_ == nullptr) {
    SetupLog("Invalid parameter to WorkerThread()");
    RaiseSetupExitCode(kExitInvalidHandle);
  }
  engine_ = dialog_->GetEngine();
  if (engine_ == nullptr) {
    SetupLog("Invalid pointer in parameter to WorkerThread()");
    RaiseSetupExitCode(kExitInvalidHandle);
  }
  SetupLogF("User default ANSI code page: %ld", static_cast<long>(UserAnsiCodePage()));
  SetupLogF("User default OEM code page: %ld", static_cast<long>(UserOemCodePage()));

  const std::string moduleName = GetProgramPath(ModulePathCaller::RunSequence);
  SetupLogF("Module filename = %s", moduleName.c_str());
  setupFolder_ = FolderOf(moduleName);
  AppendBackslash(setupFolder_);

  argumentText_ = GetProgramCommandLine();
  SetupLogF("Setup command line = %s", argumentText_.c_str());
  std::string programName;
  if (!NextField(argumentText_, programName, " ", QuoteMode::Remove)) {
    SetupLog("Failed extracting the program name from the command line");
    RaiseSetupExitCode(kExitInvalidCommandLine);
  }

  // A command line that does not parse leaves the object empty; the run
  // goes on with it (the setup data then is the default file's, if any).
  commandLine_.Parse(setupFolder_.c_str(), argumentText_.c_str());

  const std::string& dataFileName = commandLine_.GetDataFileName();
  SetWindowTextA(Window(), (GetMessageTextOr(kMsgSetup, "Setup") + " - " + dataFileName).c_str());
  ShowWindow(Window(), commandLine_.GetUiLevel() == kUiQuiet ? SW_HIDE : SW_SHOWNORMAL);

  engine_->SetCommandLine(&commandLine_);
  installMode_ = commandLine_.GetInstallMode();
  intermediateTag_ = dataFileName + ".Intermediate";
  finalTag_ = dataFileName + ".Final";

  instanceMutex_ = CreateInstanceMutex(dataFileName);
  if (!instanceMutex_) {
    SetupLog("Another instance of the same install is currently running");
    RaiseSetupExitCode(kExitSuccess);
  }
}

void RunSequence::FromTheBeginning() {
  if (engine_->IsPromptForCDMutexSet() == 1) {
    SetupLog("Found __MsiPromptForCD mutex");
    RaiseSetupExitCode(kExitSuccess);
  }
  if (engine_->IsPlatformQualified() == 0) {
    SetupLog("");
    RaiseSetupExitCode(kExitPlatformUnsupported);
  }
  engine_->CheckIncompatibleApplications();
  engine_->CopySetupToTempFolder();

  restartProgram_ = commandLine_.GetSetupFolder() + "SETUP.EXE";
  restartArguments_ = MakeRestartArguments(argumentText_, commandLine_.GetTempCopyMarker());

  Hook(intermediateTag_);
  engine_->UninstallIncompatibleApplications();
  Unhook("Unhooking reboot after uninstalling incompatible applications", intermediateTag_);

  engine_->CheckUpgradeConditions();
  engine_->ShutDownApplications();

  if (!commandLine_.GetReinstallMode().empty() || installMode_ == kModeRepair) {
    previousVersionsDone_ = 1;
    // The package lives in the data file's folder, which is the setup
    // folder unless the data file was named with a folder of its own.
    engine_->LoadProductInformation(
        (engine_->GetPackageFolder() + commandLine_.GetSetupDataFile().GetPackageName()).c_str());
  } else {
    Hook(intermediateTag_);
    previousVersionsDone_ = engine_->UninstallPreviousVersions();
    Unhook("Unhooking reboot after uninstalling previous versions", intermediateTag_);
  }

  if (engine_->IsInstallerVersionCurrent() == 0) InstallWindowsInstaller();

  if (previousVersionsDone_ == 0) {
    SetupLog("Attempting to uninstall previous versions again");
    Hook(intermediateTag_);
    engine_->UninstallPreviousVersions();
    Unhook("Unhooking reboot after uninstalling previous versions", intermediateTag_);
  }

  if (installMode_ == kModeDefault) Maintenance();
  MainInstallation();
}

void RunSequence::InstallWindowsInstaller() {
  if (engine_->HasInstallPrivileges() == 0) {
    SetupLog("User does not have the required privileges to install");
    RaiseSetupExitCode(kExitPrivilegeNotHeld);
  }
  Hook(intermediateTag_);
  engine_->InstallWindowsInstaller();
  if (WaitForChild(nullptr)) {
    SetupLog("Reboot signalled after installing the Windows Installer");
    const int uiLevel = commandLine_.GetUiLevel();
    if (uiLevel == kUiBasic || uiLevel == kUiBasicNoModal || uiLevel == kUiQuiet) {
      SetupLog("The Windows Installer was installed silently, so reboots were suppressed");
      std::string properties;
      commandLine_.AppendProperties(properties);
      if (properties.find("REBOOT=") == std::string::npos) {
        SetupLog("Initiating a reboot, so the Windows Installer will be functional");
        StartRebootThread();
        RaiseSetupExitCode(kExitIntermediateReboot);
      }
    } else {
      SetupLog("Exiting due to reboot after installing the Windows Installer");
      RaiseSetupExitCode(kExitIntermediateReboot);
    }
  }
  Unhook("Unhooking reboot after running the Windows installer", intermediateTag_);
  if (engine_->IsInstallerVersionCurrent() == 0) {
    SetupLog("The Windows Installer installation did not complete successfully");
    RaiseSetupExitCode(kExitUserExit);
  }
}

void RunSequence::Maintenance() {
  SetupLog("Install mode is the default");
  if (engine_->HasProductRegistryKey() == 0) return;
  SetupLog("Found the product registry key");
  if (engine_->IsCurrentVersionInstalled() == 0) return;
  SetupLog("The current version of the product is already installed");
  if (engine_->HasRunFromSourceFeatures() == 1) {
    SetupLog("Exiting due to some features being run from source");
    RaiseSetupExitCode(kExitSuccess);
  }
  SetupLog("Launching the maintenance installer");
  engine_->RunMaintenanceInstaller();
  ShowWindow(Window(), SW_HIDE);
  if (WaitForChild(nullptr)) {
    SetupLog("Exiting due to reboot after running the maintenance installer");
    RaiseSetupExitCode(kExitRebootInitiated);
  }
  SetupLog("Exiting after running the maintenance installer");
  RaiseSetupExitCode(kExitSuccess);
}

void RunSequence::MainInstallation() {
  if (installMode_ == kModeDefault || installMode_ == kModeInstall) {
    SetupLog("Install mode is default or configure");
    nestedInstall_ = engine_->HasNestedInstall(&rebootsSuppressed_);
    if (nestedInstall_ != 0 && rebootsSuppressed_ == 0) {
      SetupLog("Hooking reboot before running the main installation");
      Hook(finalTag_);
    }
  }
  engine_->RunMainInstaller(rebootsSuppressed_);
  ShowWindow(Window(), SW_HIDE);
  if (WaitForChild(&mainExitCode_)) {
    SetupLog("Reboot signaled after running the main installation");
    if (rebootsSuppressed_ == 0) {
      if (nestedInstall_ != 0) {
        SetupLog("Exiting due to intermediate reboot after running the main installation");
        RaiseSetupExitCode(kExitIntermediateReboot);
      }
      SetupLog("Exiting due to final reboot after running the main installation");
      RaiseSetupExitCode(kExitRebootInitiated);
    }
    SetupLog("Reboots were suppressed, so a reboot will be required later");
    rebootRequired_ = true;
    mainExitCode_ = 0;
  }
  if (nestedInstall_ != 0 && rebootsSuppressed_ == 0) {
    Unhook("Unhooking reboot after installing product", finalTag_);
  }
  if (mainExitCode_ != 0) {
    SetupLog("Exiting due to failure after running the main installation");
    RaiseSetupExitCode(mainExitCode_);
  }
  if (engine_->IsCurrentVersionInstalled() == 0) RaiseSetupExitCode(kExitUserExit);
}

void RunSequence::NestedInstallerAndEnd() {
  if (nestedInstall_ != 0) {
    SetupLog("Launching the nested installer");
    if (engine_->LaunchNestedInstaller() != 0) {
      SetupLog("Nested installer was launched");
      if (WaitForChild(&nestedExitCode_)) {
        if (nestedExitCode_ == kExitIntermediateReboot) {
          SetupLog("Exiting due to intermediate reboot after launching the nested installer");
          // The nested setup runs from our temporary copy and restarts from
          // there after the reboot: keep the copy.
          commandLine_.SetTempCopyMarker(2);
        } else {
          SetupLog("Exiting due to reboot after launching the nested installer");
        }
        RaiseSetupExitCode(kExitRebootInitiated);
      }
    }
  }
  FinalRebootOrEnd();
}

void RunSequence::FinalRebootOrEnd() {
  if (rebootRequired_ && WantsFinalReboot(argumentText_)) {
    SetupLog("Initiating reboot so the product will be functional");
    if (AsksBeforeFinalReboot(argumentText_, commandLine_.GetUiLevel())) {
      std::string productName;
      engine_->GetProductName(productName);
      std::string text = GetMessageTextOr(kMsgRestart, "You must restart your system.");
      SubstitutePlaceholders({"_PRODUCT_NAME_," + productName}, text);
      const int answer = MessageBoxA(Window(), text.c_str(), GetMessageTextOr(kMsgWarning, "Warning").c_str(),
                                     MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND);
      if (answer == IDNO) RaiseSetupExitCode(kExitUserExit);
    }
    StartRebootThread();
    RaiseSetupExitCode(kExitRebootInitiated);
  }
  engine_->LaunchPostInstallApplications();
  SetupLog("Exiting normally");
  RaiseSetupExitCode(kExitSuccess);
}

void RunSequence::Hook(const std::string& tag) {
  hookInPlace_ = HookReboot(Window(), tag, restartProgram_, restartArguments_) != 0;
}

void RunSequence::Unhook(const char* reason, const std::string& tag) {
  if (!hookInPlace_) return;
  SetupLog(reason);
  UnhookReboot(Window(), tag);
  hookInPlace_ = false;
}

bool RunSequence::WaitForChild(uint32_t* exitCode) {
  return WaitForChildOrReboot(CurrentChildProcess(), dialog_->GetEndSessionEvent(), false, exitCode) != 0;
}

void RunSequence::Finish(uint32_t code) {
  if (hookInPlace_ && code != kExitRebootInitiated && code != kExitIntermediateReboot) {
    SetupLog("Unhooking reboot due to error or normal exit");
    UnhookReboot(Window(), intermediateTag_);
    UnhookReboot(Window(), finalTag_);
    hookInPlace_ = false;
  }
  if (instanceMutex_) {
    ReleaseMutex(instanceMutex_.Get());
    instanceMutex_.Close();
  }
  SetupLogF("Worker thread exiting with status code: %08X", static_cast<unsigned>(code));
  if (dialog_ == nullptr) return;
  if (!hookInPlace_ && engine_ != nullptr && code != kExitIntermediateReboot) {
    // Cleaning up must not keep the dialog waiting forever: whatever it
    // raises is already logged by the step.
    CatchSetupExitCode([this] {
      engine_->RemoveTempFolder();
      RaiseSetupExitCode(kExitSuccess);
    });
  }
  SetupLog("Setting Finish Event...");
  SetEvent(dialog_->GetFinishEvent());
  SetupLog("Sending WM_ENDSETUPDIALOG message...");
  PostMessageA(dialog_->GetWindow(), WM_ENDSETUPDIALOG, 0, static_cast<LPARAM>(code));
}

}  // namespace

DWORD WINAPI WorkerThread(void* parameter) {
  SetupLog("Worker thread starting...");
  const HRESULT com = CoInitialize(nullptr);
  uint32_t code = kExitUnexpected;
  {
    RunSequence run(static_cast<SetupDialog*>(parameter));
    code = run.Run();
    run.Finish(code);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return code;
}

}  // namespace kq
