// The run sequence: every step in its order, the reboot policy, and the one
// exit code every ending is turned into. Portable: it reaches the engine only
// through SetupSteps, the system only through RunServices, and the setup log
// only through the RunPlatform seam (RunLog), so that the unit tests can run
// it and read what it logs.
#include <new>
#include <string>
#include <vector>

#include "app/resume_hook.h"
#include "app/run_services.h"
#include "text/next_field.h"
#include "config/setup_command_line.h"
#include "steps/installer_command_lines.h"
#include "steps/setup_steps.h"
#include "sys/format.h"
#include "sys/internal_error.h"
#include "text/ascii_text.h"
#include "text/mbcs_path.h"
#include "sys/messages.h"
#include "sys/run_platform.h"
#include "sys/session_end.h"
#include "sys/setup_exit_code.h"
#include "text/program_names.h"

namespace kq {

namespace {

// A command line that cannot be used is reported at kLocationSetupData with the
// HRESULT of ERROR_INVALID_COMMAND_LINE.
constexpr uint32_t kErrorRefusedCommandLine = HresultFromWin32(kExitInvalidCommandLine);

// What the children of the run said about restarting Windows: nothing,
// asked for a restart (3010) that nobody started, or started one (1641,
// 460393; our own reboot thread too). A restart under way stays under way.
enum class ChildRestart { kNone, kAsked, kStarted };

// The nested setup that follows the main installation.
struct NestedSetup {
  bool follows = false;     // it is to run (HasNestedInstall, or a resume at it)
  bool launched = false;    // its SETUP.EXE was started
  uint32_t exitCode = 0;    // what it ended with
};

// One run of the setup: the state the worker keeps from start to end.
class RunSequence {
 public:
  RunSequence(RunServices* services, SetupCommandLine* commandLine)
      : services_(services),
        engine_(services != nullptr ? services->Engine() : nullptr),
        commandLine_(commandLine),
        resume_(services != nullptr ? &services->Resume() : &noDialogResume_) {}

  // Runs the sequence to its ending and returns the code it ended with.
  uint32_t Run();

  // Bookkeeping for every ending: the resume shortcut, the instance mutex,
  // the temporary copy, and the result for the dialog.
  void Finish(uint32_t code);

 private:
  [[noreturn]] void Body();
  void StartUp();
  // Whether this package's product is installed, read from the package.
  bool IsMainProductInstalled();
  void FromTheBeginning();
  void InstallWindowsInstaller();
  void Maintenance();
  // A nested setup whose product is missing (its run was cut off) is what
  // is left of an installed medium: it runs, and the run ends as after it.
  void NestedSetupIfMissing();
  void MainInstallation();
  [[noreturn]] void NestedInstallerAndEnd();
  // A medium is installed only with its nested product: when NestedInstall
  // names one that is still missing (its setup failed, or could not run),
  // the run ends with the nested setup's failure code, or 1603.
  void EndUnlessNestedProductInstalled();
  [[noreturn]] void FinalRebootOrEnd();
  [[noreturn]] void EndWithRestartRequired();

  // Another setup removed the copy this program was started from (a rerun
  // from the medium while the resume shortcut started this one): that run
  // holds the setup now, and this one is to be tried again, as a second
  // start is. Logged when so.
  bool StartedFromRemovedCopy();
  void Hook(const std::string& tag) { resume_->Hook(*services_, tag, restartProgram_, restartArguments_); }
  void Unhook(const char* reason, const std::string& tag) { resume_->Unhook(*services_, reason, tag); }
  // Waits for the current child process; true when a reboot was detected.
  // The child's code lands in `exitCode` (a wait that the session's end cut
  // short reads none).
  bool WaitForChild(uint32_t& exitCode);
  // The same for a child whose failure ends the run: a code that is not 0
  // and asks for no reboot is raised.
  bool WaitForChildOrEnd();
  // Restarts Windows once the run has ended.
  void StartReboot() {
    services_->StartRebootThread();
    childRestart_ = ChildRestart::kStarted;
  }
  // Between steps: once Windows has asked to end the session, nothing more
  // is started; the run ends with its reboot code.
  void StopIfSessionEnds() {
    if (services_->SessionEnding()) throw SessionEnd();
  }
  // A restart under way: a child answered 1641 or 460393, our reboot
  // thread was started, or the session ends.
  bool RestartStarted() { return childRestart_ == ChildRestart::kStarted || services_->SessionEnding(); }
  // A reboot a child asked for that the command line keeps from restarting
  // Windows: nobody has started one.
  bool SuppressesRestart() { return RestartPolicy().RestartsSuppressed() && !RestartStarted(); }
  const kq::RestartPolicy& RestartPolicy() const { return commandLine_->GetRestartPolicy(); }
  InstallMode Mode() const { return commandLine_->GetInstallMode(); }
  // An ending that claims a restart under way becomes 3010 when nobody has
  // started one (a child that only asked for one): a restart is needed.
  // Logs why; changes nothing.
  uint32_t HonestRestartCode(uint32_t code) const;

  RunServices* services_;
  SetupSteps* engine_;  // null when the dialog has none
  SetupCommandLine* commandLine_;  // lives as long as the run: the engine keeps a pointer to it
  ResumeHook noDialogResume_;  // the shortcut's owner of a run without services: never placed
  ResumeHook* resume_;
  std::string intermediateTag_;
  std::string finalTag_;
  // What the resume shortcut starts.
  std::string restartProgram_;
  std::string restartArguments_;
  bool instanceMutex_ = false;
  ChildRestart childRestart_ = ChildRestart::kNone;
  NestedSetup nested_;
  bool rebootRequired_ = false;  // a restart held back to the end of the run
};

uint32_t RunSequence::Run() {
  uint32_t code = HonestRestartCode(CatchSetupExitCode([this] {
    try {
      Body();
    } catch (const SessionEnd&) {
      // The session ends under a step that was not waiting for a child: a
      // resume shortcut in place will start the setup again (460393);
      // without one, this run is over as far as it goes (1641).
      RunLog("Exiting due to the end of the Windows session");
      RaiseSetupExitCode(resume_->RestartUnderWayCode());
    } catch (const std::bad_alloc&) {
      // What held the memory is unwound by now, so the error can be shown.
      RunLog("Out of memory");
      RaiseInternalError(kLocationOutOfMemory, kErrorOutOfMemory);
    }
  }));
  // A restart that is needed and was not started: a shortcut in place
  // finishes the setup at the next logon.
  if (code == kExitRebootRequired) resume_->KeepForNextLogon();
  // A start that failed before the mutex because another setup was removing
  // the copy this one started from (its data file went first) is a start
  // that found another setup at work.
  if (code != kExitSuccess && code != kExitAlreadyRunning && !instanceMutex_ && services_ != nullptr &&
      engine_ != nullptr && StartedFromRemovedCopy()) {
    return kExitAlreadyRunning;
  }
  return code;
}

bool RunSequence::StartedFromRemovedCopy() {
  if (!services_->StartedFromRemovedCopy()) return false;
  RunLog("The temporary copy this setup was started from has been removed by another setup");
  return true;
}

uint32_t RunSequence::HonestRestartCode(uint32_t code) const {
  // 460393 promises that the resume shortcut goes on after the restart.
  // Without one in place (no name was free) the restart under way is all
  // there is to tell, and the setup is to be run again after it.
  if (code == kExitIntermediateReboot && code != resume_->RestartUnderWayCode()) {
    RunLog("No resume shortcut is in place, so the setup does not go on by itself after the restart");
    code = kExitRebootInitiated;
  }
  // A removal that needs a restart it did not start ends with 3010 itself.
  const bool removalNeedsRestart = code == kExitRebootRequired && resume_->InPlace();
  if (code != kExitIntermediateReboot && code != kExitRebootInitiated && !removalNeedsRestart) return code;
  // A restart under way is told as one, also when the command line
  // suppressed restarts: a child started it anyway, or the session ends.
  if (!removalNeedsRestart && (childRestart_ != ChildRestart::kAsked || services_->SessionEnding())) return code;
  std::string why = RestartPolicy().RestartsSuppressed()
                        ? "Restarts are suppressed, so Windows is not restarted"
                        : "The installer did not restart Windows, so a restart is required";
  if (resume_->InPlace()) why += "; the setup goes on at the next logon";
  RunLog(why);
  return kExitRebootRequired;
}

bool RunSequence::WaitForChild(uint32_t& exitCode) {
  // The child's code is always read: only 3010 asks for a restart without
  // starting one.
  const bool reboot = services_->WaitForChild(exitCode);
  if (reboot && childRestart_ != ChildRestart::kStarted) {
    childRestart_ = exitCode == kExitRebootRequired ? ChildRestart::kAsked
                    : exitCode == kExitRebootInitiated || exitCode == kExitIntermediateReboot
                        ? ChildRestart::kStarted
                        : ChildRestart::kNone;
  }
  return reboot;
}

bool RunSequence::WaitForChildOrEnd() {
  uint32_t exitCode = 0;
  const bool reboot = WaitForChild(exitCode);
  if (!reboot && exitCode != 0) RaiseSetupExitCode(exitCode);
  return reboot;
}

void RunSequence::Body() {
  StartUp();
  // Claimed before any shortcut goes: from now on no other setup takes the
  // copy this run works from for a leftover.
  engine_->ClaimTempCopy();
  StopIfSessionEnds();
  // A resume after a final reboot: only the nested installer is left, once
  // the main installation is known to have finished. Cut off (a power loss,
  // a kill), it left the shortcut behind without the product.
  if (services_->UnhookReboot(finalTag_)) {
    RunLog("Starting the SETUP process at launching the nested installation");
    services_->ShowDialog(false);
    if (IsMainProductInstalled()) {
      nested_.follows = true;
      NestedInstallerAndEnd();
    }
    RunLog("The main installation did not complete; starting the setup from the beginning");
    services_->ShowDialog(!HidesDialog(commandLine_->GetUiLevel()));
  } else {
    RunLog("Starting the SETUP process from the beginning");
    // A shortcut left behind by an interrupted earlier run.
    services_->UnhookReboot(intermediateTag_);
  }
  FromTheBeginning();
  NestedInstallerAndEnd();
}

void RunSequence::StartUp() {
  if (services_ == nullptr) {
    RunLog("Invalid parameter to WorkerThread()");
    RaiseSetupExitCode(kExitInvalidHandle);
  }
  if (engine_ == nullptr) {
    RunLog("Invalid pointer in parameter to WorkerThread()");
    RaiseSetupExitCode(kExitInvalidHandle);
  }
  RunLog(Format("User default ANSI code page: %ld", static_cast<long>(services_->UserAnsiCodePage())));
  RunLog(Format("User default OEM code page: %ld", static_cast<long>(services_->UserOemCodePage())));

  const std::string moduleName = services_->ProgramPath();
  RunLog(Format("Module filename = %s", moduleName.c_str()));
  // Without it the setup folder would be "\" and the setup data would come
  // from the root of the current drive.
  if (moduleName.empty()) RaiseInternalError(kLocationCommandLine, kErrorPointer);
  std::string setupFolder = FolderOf(moduleName);
  AppendBackslash(setupFolder);

  if (StartedFromRemovedCopy()) RaiseSetupExitCode(kExitAlreadyRunning);

  std::string argumentText = services_->ProgramCommandLine();
  RunLog(Format("Setup command line = %s", argumentText.c_str()));
  std::string programName;
  // An empty command line is one that could not be converted to the ANSI
  // code page: what it asked for is unknown, so nothing is done.
  if (argumentText.empty() || !NextField(argumentText, programName, " ", QuoteMode::Remove)) {
    RunLog("Failed extracting the program name from the command line");
    RaiseSetupExitCode(kExitInvalidCommandLine);
  }

  // A command line that cannot be used ends the run as MSIEXEC ends it for
  // the same mistake, before anything takes the instance mutex.
  if (!commandLine_->Parse(setupFolder.c_str(), argumentText.c_str())) {
    RunLog(Format("Invalid command line argument: %s", commandLine_->GetRefusedArgument().c_str()));
    ReportInternalError(kLocationSetupData, kErrorRefusedCommandLine);
    RaiseSetupExitCode(kExitInvalidCommandLine);
  }
  RunLog(Format("UI level = %d", UiLevelNumber(commandLine_->GetUiLevel())));

  const std::string& dataFileName = commandLine_->GetDataFileName();
  services_->SetTitle(GetMessageText(kMsgSetup) + " - " + dataFileName);
  services_->ShowDialog(!HidesDialog(commandLine_->GetUiLevel()));

  engine_->SetCommandLine(commandLine_);
  // The shortcut's tag names the data file as the mutex does, whatever the
  // letter case it was given in.
  intermediateTag_ = UpperCaseAscii(dataFileName) + ".Intermediate";
  finalTag_ = UpperCaseAscii(dataFileName) + ".Final";

  // The name is shared by every setup of this kind whose data file has this
  // name, whatever its product: the other one may be another product's, so
  // this one has done nothing and is to be tried again, as MSIEXEC answers
  // while another installation runs. A resume (from its copy) waits its
  // turn instead: at a logon nothing would try it again.
  instanceMutex_ = services_->CreateInstanceMutex(
      dataFileName, commandLine_->GetTempCopyState() == TempCopyState::kRunningFromCopy);
  if (!instanceMutex_) {
    RunLog("Another instance of the same install is currently running");
    RaiseSetupExitCode(kExitAlreadyRunning);
  }
}

bool RunSequence::IsMainProductInstalled() {
  return engine_->LoadProductInformation(
             JoinPath(engine_->GetPackageFolder(), commandLine_->GetSetupDataFile().GetPackageName())) &&
         engine_->IsCurrentVersionInstalled();
}

void RunSequence::FromTheBeginning() {
  if (engine_->IsPromptForCDMutexSet()) {
    RunLog("Found __MsiPromptForCD mutex");
    RaiseSetupExitCode(kExitSuccess);
  }
  if (!engine_->IsPlatformQualified()) {
    RunLog("");
    RaiseSetupExitCode(kExitPlatformUnsupported);
  }
  engine_->CheckIncompatibleApplications();
  StopIfSessionEnds();
  engine_->CopySetupToTempFolder();
  StopIfSessionEnds();

  restartProgram_ = JoinPath(commandLine_->GetSetupFolder(), kSetupProgram);
  restartArguments_ = MakeRestartArguments(commandLine_->GetArgumentText(), commandLine_->GetTempCopyState());

  Hook(intermediateTag_);
  engine_->UninstallIncompatibleApplications();
  Unhook("Unhooking reboot after uninstalling incompatible applications", intermediateTag_);
  StopIfSessionEnds();

  engine_->CheckUpgradeConditions();
  engine_->ShutDownApplications();
  StopIfSessionEnds();

  bool previousVersionsDone = true;
  if (!commandLine_->GetReinstallMode().empty() || Mode() == InstallMode::kRepair) {
    // The package lives in the data file's folder, which is the setup
    // folder unless the data file was named with a folder of its own.
    engine_->LoadProductInformation(JoinPath(engine_->GetPackageFolder(), commandLine_->GetSetupDataFile().GetPackageName()));
  } else {
    Hook(intermediateTag_);
    previousVersionsDone = engine_->UninstallPreviousVersions();
    Unhook("Unhooking reboot after uninstalling previous versions", intermediateTag_);
  }
  StopIfSessionEnds();

  if (!engine_->IsInstallerVersionCurrent()) InstallWindowsInstaller();

  if (!previousVersionsDone) {
    RunLog("Attempting to uninstall previous versions again");
    Hook(intermediateTag_);
    engine_->UninstallPreviousVersions();
    Unhook("Unhooking reboot after uninstalling previous versions", intermediateTag_);
    StopIfSessionEnds();
  }

  if (Mode() == InstallMode::kDefault) Maintenance();
  MainInstallation();
}

void RunSequence::InstallWindowsInstaller() {
  if (!engine_->HasInstallPrivileges()) {
    RunLog("User does not have the required privileges to install");
    RaiseSetupExitCode(kExitPrivilegeNotHeld);
  }
  Hook(intermediateTag_);
  engine_->InstallWindowsInstaller();
  if (WaitForChildOrEnd()) {
    RunLog("Reboot signalled after installing the Windows Installer");
    // A restart only asked for ends with 3010 and the shortcut in place
    // (HonestRestartCode); one the redistributable started is under way.
    if (RestartPolicy().RestartsSuppressed()) RaiseSetupExitCode(kExitIntermediateReboot);
    if (InstallsEngineQuietly(commandLine_->GetUiLevel())) {
      RunLog("The Windows Installer was installed silently, so reboots were suppressed");
      if (!RestartPolicy().RebootGiven()) {
        RunLog("Initiating a reboot, so the Windows Installer will be functional");
        StartReboot();
        RaiseSetupExitCode(kExitIntermediateReboot);
      }
    } else {
      RunLog("Exiting due to reboot after installing the Windows Installer");
      RaiseSetupExitCode(kExitIntermediateReboot);
    }
  }
  Unhook("Unhooking reboot after running the Windows installer", intermediateTag_);
  if (!engine_->IsInstallerVersionCurrent()) {
    RunLog("The Windows Installer installation did not complete successfully");
    RaiseSetupExitCode(kExitUserExit);
  }
  StopIfSessionEnds();
}

void RunSequence::Maintenance() {
  RunLog("Install mode is the default");
  if (!engine_->HasProductRegistryKey()) return;
  RunLog("Found the product registry key");
  if (!engine_->IsCurrentVersionInstalled()) return;
  RunLog("The current version of the product is already installed");
  if (engine_->HasRunFromSourceFeatures()) {
    NestedSetupIfMissing();
    RunLog("Exiting due to some features being run from source");
    RaiseSetupExitCode(kExitSuccess);
  }
  StopIfSessionEnds();
  RunLog("Launching the maintenance installer");
  engine_->RunMaintenanceInstaller();
  services_->ShowDialog(false);
  if (WaitForChildOrEnd()) {
    RunLog("Exiting due to reboot after running the maintenance installer");
    RaiseSetupExitCode(kExitRebootInitiated);  // 3010 when nobody restarts Windows (HonestRestartCode)
  }
  NestedSetupIfMissing();
  RunLog("Exiting after running the maintenance installer");
  RaiseSetupExitCode(kExitSuccess);
}

void RunSequence::NestedSetupIfMissing() {
  bool suppressed = false;
  if (engine_->HasNestedInstall(&suppressed) && !engine_->IsNestedProductInstalled()) {
    RunLog("The nested product is not installed");
    nested_.follows = true;
    NestedInstallerAndEnd();
  }
  EndUnlessNestedProductInstalled();
}

void RunSequence::MainInstallation() {
  // Without a nested setup, only the command line holds the main
  // installation's restart back to the end of the run.
  bool mainRestartWaits = RestartPolicy().MainRestartWaits(false);
  if (Mode() == InstallMode::kDefault || Mode() == InstallMode::kInstall) {
    RunLog("Install mode is default or configure");
    bool nestedWaits = false;
    nested_.follows = engine_->HasNestedInstall(&nestedWaits);
    if (nested_.follows) mainRestartWaits = nestedWaits;
    if (nested_.follows && !mainRestartWaits) {
      RunLog("Hooking reboot before running the main installation");
      Hook(finalTag_);
    }
  }
  // A restart the command line suppresses waits for the end of the run.
  const bool hookedFinal = nested_.follows && !mainRestartWaits;
  StopIfSessionEnds();
  engine_->RunMainInstaller(mainRestartWaits);
  services_->ShowDialog(false);
  uint32_t exitCode = 0;
  if (WaitForChild(exitCode)) {
    RunLog("Reboot signaled after running the main installation");
    // A restart the installer started although it was to wait is under way
    // all the same: the nested setup follows after it.
    if (!mainRestartWaits || RestartStarted()) {
      if (nested_.follows) {
        if (!hookedFinal) Hook(finalTag_);
        RunLog("Exiting due to intermediate reboot after running the main installation");
        RaiseSetupExitCode(kExitIntermediateReboot);
      }
      RunLog("Exiting due to final reboot after running the main installation");
      RaiseSetupExitCode(kExitRebootInitiated);
    }
    RunLog("Reboots were suppressed, so a reboot will be required later");
    rebootRequired_ = true;
    exitCode = 0;
  }
  if (hookedFinal) Unhook("Unhooking reboot after installing product", finalTag_);
  if (exitCode != 0) {
    RunLog("Exiting due to failure after running the main installation");
    RaiseSetupExitCode(exitCode);
  }
  if (!engine_->IsCurrentVersionInstalled()) RaiseSetupExitCode(kExitUserExit);
}

void RunSequence::NestedInstallerAndEnd() {
  if (nested_.follows) {
    StopIfSessionEnds();
    RunLog("Launching the nested installer");
    if (engine_->LaunchNestedInstaller()) {
      nested_.launched = true;
      RunLog("Nested installer was launched");
      if (WaitForChild(nested_.exitCode)) {
        if (SuppressesRestart()) {
          RunLog("Reboot signaled by the nested installer; reboots were suppressed, so a reboot will be required later");
          rebootRequired_ = true;
          // The nested setup may go on at the next logon from our
          // temporary copy: keep the copy.
          engine_->KeepTempCopy();
          FinalRebootOrEnd();
        }
        if (nested_.exitCode == kExitIntermediateReboot) {
          RunLog("Exiting due to intermediate reboot after launching the nested installer");
          // The nested setup runs from our temporary copy and restarts from
          // there after the reboot: keep the copy.
          engine_->KeepTempCopy();
        } else {
          RunLog("Exiting due to reboot after launching the nested installer");
        }
        RaiseSetupExitCode(kExitRebootInitiated);
      }
    }
  }
  EndUnlessNestedProductInstalled();
  FinalRebootOrEnd();
}

void RunSequence::EndUnlessNestedProductInstalled() {
  // Other modes (a removal, an administrative installation...) run no nested setup.
  if (!nested_.follows && Mode() != InstallMode::kDefault && Mode() != InstallMode::kInstall) return;
  const std::string& value = commandLine_->GetSetupDataFile().GetNestedInstall();
  if (!nested_.follows && value.empty()) return;
  if (engine_->IsNestedProductInstalled()) return;
  const NestedInstallValue* read = commandLine_->GetSetupDataFile().GetNestedInstallValue();
  const NestedInstallValue nested = read != nullptr ? *read : NestedInstallValue();
  const uint32_t code = nested_.exitCode != 0 ? nested_.exitCode : kExitFailure;
  if (nested_.launched) {
    RunLog(Format("The nested product %s is not installed after its setup ended with %u; exiting with %u",
                  nested.productCode.c_str(), static_cast<unsigned>(nested_.exitCode), static_cast<unsigned>(code)));
  } else {
    RunLog(Format("The nested product %s is not installed and its setup did not run; exiting with %u",
                  nested.productCode.c_str(), static_cast<unsigned>(code)));
  }
  RaiseSetupExitCode(code);
}

void RunSequence::FinalRebootOrEnd() {
  StopIfSessionEnds();
  if (rebootRequired_) {
    if (RestartPolicy().RestartsSuppressed()) {
      RunLog("Restarts are suppressed, so Windows is not restarted");
      EndWithRestartRequired();
    }
    RunLog("Initiating reboot so the product will be functional");
    if (AsksBeforeFinalReboot(commandLine_->GetArgumentText(), commandLine_->GetUiLevel())) {
      std::string productName;
      engine_->GetProductName(productName);
      std::string text = GetMessageText(kMsgRestart);
      SubstitutePlaceholders({"_PRODUCT_NAME_," + productName}, text);
      const RestartAnswer answer = services_->AskToRestart(text, GetMessageText(kMsgWarning));
      // A box closed because the session ends is no answer.
      StopIfSessionEnds();
      // Only a Yes restarts Windows: a question nobody saw is no consent.
      if (answer != RestartAnswer::kYes) {
        RunLog(answer == RestartAnswer::kNotShown
                   ? "The restart question could not be shown, so Windows is not restarted"
                   : "The restart was declined, so Windows is not restarted");
        EndWithRestartRequired();
      }
    }
    StartReboot();
    RaiseSetupExitCode(kExitRebootInitiated);
  }
  engine_->LaunchPostInstallApplications();
  RunLog("Exiting normally");
  RaiseSetupExitCode(kExitSuccess);
}

void RunSequence::EndWithRestartRequired() {
  // Installed: only the restart is left to whoever runs the setup.
  engine_->LaunchPostInstallApplications();
  RunLog("Exiting normally; a restart is required");
  RaiseSetupExitCode(kExitRebootRequired);
}

void RunSequence::Finish(uint32_t code) {
  if (services_ != nullptr) resume_->Finish(*services_, code, intermediateTag_, finalTag_);
  // A run that never held the mutex may have been started from the copy
  // that the run holding it works from: it leaves the copy alone.
  const bool heldMutex = instanceMutex_;
  if (instanceMutex_) {
    services_->ReleaseInstanceMutex();
    instanceMutex_ = false;
  }
  RunLog(Format("Worker thread exiting with status code: %08X", static_cast<unsigned>(code)));
  if (services_ == nullptr) return;
  if (heldMutex && !resume_->InPlace() && engine_ != nullptr && code != kExitIntermediateReboot) {
    // Cleaning up must not keep the dialog waiting forever: whatever it
    // raises is already logged by the step.
    CatchSetupExitCode([this, code] {
      engine_->RemoveTempFolder(code == kExitSuccess || code == kExitRebootRequired);
      RaiseSetupExitCode(kExitSuccess);
    });
  }
  RunLog("Setting Finish Event...");
  services_->SetFinishEvent();
  RunLog("Sending WM_ENDSETUPDIALOG message...");
  services_->PostResult(code);
}

}  // namespace

uint32_t RunSetup(RunServices* services) {
  SetupCommandLine commandLine(services != nullptr ? services->DataFileOpener() : PlatformFileOpener());
  RunSequence run(services, &commandLine);
  const uint32_t code = run.Run();
  run.Finish(code);
  return code;
}

}  // namespace kq
