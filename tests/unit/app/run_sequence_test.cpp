// Every ending of the run sequence in one table: the real worker_thread.cpp
// runs against stand-in services and steps (RunServices, SetupSteps) that answer as each row says and
// keep a pretend Startup folder and temporary copy. Each row gives the
// inputs, the exit code, the shortcut left for the next logon, what became
// of the copy, and the log lines that tell the story, in order.
#include <gtest/gtest.h>

#include <cctype>
#include <deque>
#include <map>
#include <new>
#include <stdexcept>
#include <string>
#include <vector>

#include "app/resume_hook.h"
#include "app/run_services.h"
#include "config/setup_command_line.h"
#include "ini/memory_file_opener.h"
#include "steps/setup_steps.h"
#include "sys/format.h"
#include "sys/messages.h"
#include "sys/session_end.h"
#include "sys/setup_exit_code.h"
#include "sys/recording_platform.h"

namespace kq {

namespace {

using testing_support::RecordingPlatform;

constexpr const char kProgram[] = "C:\\MEDIUM\\SETUP.EXE";
constexpr const char kIntermediate[] = "SETUP.INI.Intermediate";
constexpr const char kFinal[] = "SETUP.INI.Final";

struct Wait {
  bool reboot;
  uint32_t exitCode;
};

// The questions a row can answer for the stand-ins. Each is asked at the
// step of the same name, where a row's raise or session end can happen.
enum class Asked {
  kStartedFromRemovedCopy,
  kCreateInstanceMutex,
  kIsPromptForCDMutexSet,
  kIsPlatformQualified,
  kUninstallPreviousVersions,
  kIsInstallerVersionCurrent,
  kIsInstallerVersionCurrentAfter,
  kHasInstallPrivileges,
  kHasProductRegistryKey,
  kInstalledBeforeMain,
  kIsCurrentVersionInstalled,
  kHasRunFromSourceFeatures,
  kOneReboot,  // the nested setup's ONEREBOOT flag
  kHasNestedInstall,
  kIsNestedProductInstalled,
  kNestedInstalledAfterItsSetup,
  kLaunchNestedInstaller,
  kHookReboot,  // 0: every resume shortcut name is taken
};

const char* StepName(Asked asked) {
  switch (asked) {
    case Asked::kStartedFromRemovedCopy: return "StartedFromRemovedCopy";
    case Asked::kCreateInstanceMutex: return "CreateInstanceMutex";
    case Asked::kIsPromptForCDMutexSet: return "IsPromptForCDMutexSet";
    case Asked::kIsPlatformQualified: return "IsPlatformQualified";
    case Asked::kUninstallPreviousVersions: return "UninstallPreviousVersions";
    case Asked::kIsInstallerVersionCurrent: return "IsInstallerVersionCurrent";
    case Asked::kIsInstallerVersionCurrentAfter: return "IsInstallerVersionCurrentAfter";
    case Asked::kHasInstallPrivileges: return "HasInstallPrivileges";
    case Asked::kHasProductRegistryKey: return "HasProductRegistryKey";
    case Asked::kInstalledBeforeMain: return "InstalledBeforeMain";
    case Asked::kIsCurrentVersionInstalled: return "IsCurrentVersionInstalled";
    case Asked::kHasRunFromSourceFeatures: return "HasRunFromSourceFeatures";
    case Asked::kOneReboot: return "OneReboot";
    case Asked::kHasNestedInstall: return "HasNestedInstall";
    case Asked::kIsNestedProductInstalled: return "IsNestedProductInstalled";
    case Asked::kNestedInstalledAfterItsSetup: return "NestedInstalledAfterItsSetup";
    case Asked::kLaunchNestedInstaller: return "LaunchNestedInstaller";
    case Asked::kHookReboot: return "HookReboot";
  }
  return "";
}

// One row: what the stand-ins answer, and what the run must end with.
struct Row {
  explicit Row(const char* rowName) : name(rowName) {}
  Row& Args(const char* text) { return arguments = text, *this; }
  Row& Answer(Asked asked, int value) { return answers[asked] = value, *this; }
  Row& Waits(std::vector<Wait> list) { return waits = std::move(list), *this; }
  Row& Shortcut(const char* tag) { return startupShortcut = tag, *this; }
  Row& Path(const char* path) { return programPath = path, *this; }
  // The whole process command line, program name included; "" is what a
  // command line that the ANSI code page cannot hold comes back as.
  Row& WholeCommandLine(const char* text) { return wholeCommandLine = text, hasWholeCommandLine = true, *this; }
  // `step` raises `code` (or, with kThrowOther, something that is no code).
  Row& Raises(const char* step, uint32_t code) { return raiseAt = step, raised = code, *this; }
  // Windows asks to end the session while `step` runs.
  Row& SessionEndsDuring(const char* step) { return sessionEndsAt = step, *this; }
  Row& Restart(RestartAnswer answer) { return restartAnswer = answer, *this; }
  Row& NoEngine() { return hasEngine = false, *this; }
  Row& NoDataFile() { return hasDataFile = false, *this; }
  // More [ProductInformation] lines of the setup data file.
  Row& Data(const char* lines) { return dataLines = lines, *this; }

  Row& Ends(uint32_t code) { return expectedCode = code, *this; }
  Row& Leaves(const char* tag) { return expectedShortcut = tag, *this; }
  Row& Copy(const char* state) { return expectedCopy = state, *this; }
  Row& RebootThread() { return expectedRebootThread = true, *this; }
  Row& Logs(std::vector<std::string> lines) { return expectedLines = std::move(lines), *this; }

  std::string name;
  std::string arguments = "/qb-";
  std::map<Asked, int> answers;
  std::vector<Wait> waits;
  std::string startupShortcut;
  std::string programPath = kProgram;
  std::string wholeCommandLine;
  bool hasWholeCommandLine = false;
  std::string raiseAt;
  uint32_t raised = 0;
  std::string sessionEndsAt;
  RestartAnswer restartAnswer = RestartAnswer::kYes;
  bool hasEngine = true;
  bool hasDataFile = true;
  std::string dataLines;

  uint32_t expectedCode = 0;
  std::string expectedShortcut;
  std::string expectedCopy = "removed";
  bool expectedRebootThread = false;
  std::vector<std::string> expectedLines;
};

// A failing row is told by its name.
void PrintTo(const Row& row, std::ostream* out) { *out << row.name; }

constexpr uint32_t kThrowOther = 0xDEADu;
constexpr uint32_t kThrowBadAlloc = 0xBADu;

// The steps as the row has them answer. A step not named answers as on a
// first installation that goes well.
class StandInSteps : public RunServices, public SetupSteps {
 public:
  explicit StandInSteps(const Row& row) : row_(row), shortcut_(row.startupShortcut), waits_(row.waits.begin(), row.waits.end()) {
    // Started with /~: from a copy that an earlier run made.
    if (row.arguments.find("/~") != std::string::npos && row.arguments.find("/~-") == std::string::npos) copy_ = "kept";
    if (!row.hasDataFile) return;
    opener_.SetFile("C:\\MEDIUM\\SETUP.INI", "[ProductInformation]\r\nPackageName=Product.msi\r\n" + row.dataLines +
                                                  "[ProductFeatures]\r\nMain\r\n");
  }

  SetupSteps* Engine() override { return row_.hasEngine ? this : nullptr; }
  std::string ProgramPath() override { return row_.programPath; }
  std::string ProgramCommandLine() override {
    return row_.hasWholeCommandLine ? row_.wholeCommandLine : std::string(kProgram) + " " + row_.arguments;
  }
  uint32_t UserAnsiCodePage() override { return 1252; }
  uint32_t UserOemCodePage() override { return 437; }
  IniFileOpener& DataFileOpener() override { return opener_; }
  // The answer n: removed from the nth question on.
  bool StartedFromRemovedCopy() override {
    const int from = Answer(Asked::kStartedFromRemovedCopy, 0);
    return from != 0 && ++removedCopyAsked_ >= from;
  }

  void SetTitle(const std::string& title) override { title_ = title; }
  void ShowDialog(bool visible) override { visible_ = visible; }
  bool SessionEnding() override { return sessionEnding_; }
  RestartAnswer AskToRestart(const std::string&, const std::string&) override {
    Step("AskToRestart");
    return row_.restartAnswer;
  }
  void SetFinishEvent() override { finishSet_ = true; }
  void PostResult(uint32_t code) override { posted_.push_back(code); }

  bool CreateInstanceMutex(const std::string&, bool waitForOther) override {
    mutexWaitAsked_ = waitForOther;
    return Answer(Asked::kCreateInstanceMutex, 1) != 0;
  }
  void ReleaseInstanceMutex() override { mutexReleased_ = true; }
  bool HookReboot(const std::string& tag, const std::string& program, const std::string& arguments) override {
    if (!Answer(Asked::kHookReboot, 1) || (!shortcut_.empty() && shortcut_ != tag)) return false;
    shortcut_ = tag;
    restartProgram_ = program;
    restartArguments_ = arguments;
    return true;
  }
  bool UnhookReboot(const std::string& tag) override {
    if (shortcut_ != tag) return false;
    shortcut_.clear();
    return true;
  }
  ResumeHook& Resume() override { return resume_; }
  void StartRebootThread() override { rebootThread_ = true; }
  bool WaitForChild(uint32_t& exitCode) override {
    Step("WaitForChild");
    Wait wait{false, 0};
    if (!waits_.empty()) {
      wait = waits_.front();
      waits_.pop_front();
    }
    if (sessionEnding_) wait.reboot = true;  // the end-session event ends every wait
    exitCode = wait.exitCode;
    return wait.reboot;
  }

  void SetCommandLine(SetupCommandLine* commandLine) override { commandLine_ = commandLine; }
  bool IsPromptForCDMutexSet() override { return Answer(Asked::kIsPromptForCDMutexSet, 0); }
  bool IsPlatformQualified() override { return Answer(Asked::kIsPlatformQualified, 1); }
  void CheckIncompatibleApplications() override { Step("CheckIncompatibleApplications"); }
  void CopySetupToTempFolder() override {
    Step("CopySetupToTempFolder");
    if (commandLine_->GetTempCopyState() != TempCopyState::kNotYet) return;
    commandLine_->SetTempCopyState(TempCopyState::kRunningFromCopy);
    commandLine_->SetSetupFolder("C:\\TEMP\\KIES0001\\");
    copy_ = "kept";
  }
  void UninstallIncompatibleApplications() override { Step("UninstallIncompatibleApplications"); }
  void CheckUpgradeConditions() override { Step("CheckUpgradeConditions"); }
  void ShutDownApplications() override { Step("ShutDownApplications"); }
  std::string GetPackageFolder() override { return "C:\\MEDIUM\\"; }
  bool LoadProductInformation(const std::string& packagePath) override {
    packagePath_ = packagePath;
    return true;
  }
  bool UninstallPreviousVersions() override { return Answer(Asked::kUninstallPreviousVersions, 1); }
  bool IsInstallerVersionCurrent() override {
    // The row's answer before the engine's installation, then "current"
    // unless the row says it stays old.
    return installerInstalled_ ? Answer(Asked::kIsInstallerVersionCurrentAfter, 1)
                               : Answer(Asked::kIsInstallerVersionCurrent, 1);
  }
  bool HasInstallPrivileges() override { return Answer(Asked::kHasInstallPrivileges, 1); }
  void InstallWindowsInstaller() override {
    installerInstalled_ = true;
    Step("InstallWindowsInstaller");
  }
  bool HasProductRegistryKey() override { return Answer(Asked::kHasProductRegistryKey, 0); }
  // kInstalledBeforeMain answers until the main installation has run.
  bool IsCurrentVersionInstalled() override {
    return mainRan_ ? Answer(Asked::kIsCurrentVersionInstalled, 1) : Answer(Asked::kInstalledBeforeMain, 1);
  }
  bool HasRunFromSourceFeatures() override { return Answer(Asked::kHasRunFromSourceFeatures, 0); }
  void RunMaintenanceInstaller() override { Step("RunMaintenanceInstaller"); }
  // The flag as the engine sets it: from the command line's restart rule
  // and the row's ONEREBOOT, when a nested setup follows.
  bool HasNestedInstall(bool* mainRestartWaits) override {
    *mainRestartWaits = false;
    if (!Answer(Asked::kHasNestedInstall, 0)) return false;
    *mainRestartWaits = commandLine_->GetRestartPolicy().MainRestartWaits(Answer(Asked::kOneReboot, 0) != 0);
    return true;
  }
  // kNestedInstalledAfterItsSetup answers once the nested setup has run.
  bool IsNestedProductInstalled() override {
    return nestedRan_ ? Answer(Asked::kNestedInstalledAfterItsSetup, 1) : Answer(Asked::kIsNestedProductInstalled, 1);
  }
  void RunMainInstaller(bool) override {
    mainRan_ = true;
    Step("RunMainInstaller");
  }
  bool LaunchNestedInstaller() override { return nestedRan_ = Answer(Asked::kLaunchNestedInstaller, 1); }
  void LaunchPostInstallApplications() override { Step("LaunchPostInstallApplications"); }
  bool GetProductName(std::string& name) override {
    name = "KQ Demo";
    return true;
  }
  void RemoveTempFolder(bool) override {
    if (commandLine_ != nullptr && commandLine_->RemovesTempCopy() && copy_ == "kept") copy_ = "removed";
  }
  void ClaimTempCopy() override { Step("ClaimTempCopy"); }
  void KeepTempCopy() override { commandLine_->KeepTempCopy(); }

  const std::string& Shortcut() const { return shortcut_; }
  // "none" when no copy was made.
  const std::string& Copy() const { return copy_; }
  bool RebootThreadStarted() const { return rebootThread_; }
  bool FinishSet() const { return finishSet_; }
  const std::vector<uint32_t>& Posted() const { return posted_; }
  bool MutexReleased() const { return mutexReleased_; }
  bool MutexWaitAsked() const { return mutexWaitAsked_; }
  bool Visible() const { return visible_; }
  const std::string& Title() const { return title_; }
  const std::string& RestartArguments() const { return restartArguments_; }
  const std::string& RestartProgram() const { return restartProgram_; }

 private:
  int Answer(Asked asked, int otherwise) {
    Step(StepName(asked));
    auto found = row_.answers.find(asked);
    return found != row_.answers.end() ? found->second : otherwise;
  }
  // Where a row's session end or raise happens.
  void Step(const std::string& step) {
    if (step == row_.sessionEndsAt) sessionEnding_ = true;
    if (step != row_.raiseAt) return;
    if (row_.raised == kThrowOther) throw std::runtime_error("not a setup exit code");
    if (row_.raised == kThrowBadAlloc) throw std::bad_alloc();
    if (row_.raised == kExitRebootInitiated && sessionEnding_) throw SessionEnd();  // a step's box closed
    RaiseSetupExitCode(row_.raised);
  }

  const Row& row_;
  MemoryFileOpener opener_;
  std::string shortcut_;
  std::deque<Wait> waits_;
  ResumeHook resume_;
  int removedCopyAsked_ = 0;
  SetupCommandLine* commandLine_ = nullptr;
  std::string copy_ = "none";
  std::string packagePath_;
  std::string title_;
  std::string restartProgram_;
  std::string restartArguments_;
  std::vector<uint32_t> posted_;
  bool visible_ = false;
  bool sessionEnding_ = false;
  bool installerInstalled_ = false;
  bool mainRan_ = false;
  bool nestedRan_ = false;
  bool rebootThread_ = false;
  bool finishSet_ = false;
  bool mutexReleased_ = false;
  bool mutexWaitAsked_ = false;
};

// A child that asks for a restart (3010), and one that has started it (1641).
const Wait kReboot{true, 3010};
const Wait kRebootStarted{true, 1641};
const char* const kNestedInstall = "NestedInstall={N},Nested.ini\r\n";
const char* const kNoRestartStarted = "The installer did not restart Windows, so a restart is required";
const char* const kNoShortcutInPlace =
    "No resume shortcut is in place, so the setup does not go on by itself after the restart";
const char* const kNoRestartStartedGoesOn =
    "The installer did not restart Windows, so a restart is required; the setup goes on at the next logon";

std::vector<Row> Endings() {
  const uint32_t kIntermediateReboot = kExitIntermediateReboot;
  return {
      Row("a first installation").Logs({"Starting the SETUP process from the beginning",
                                        "Install mode is the default", "Install mode is default or configure",
                                        "Exiting normally", "Worker thread exiting with status code: 00000000"}),
      Row("no engine").NoEngine().Ends(kExitInvalidHandle).Copy("none").Logs(
          {"Invalid pointer in parameter to WorkerThread()"}),
      Row("no module file name").Args("/qb").Path("").Ends(0x80004003u).Copy("none").Logs(
          {"Module filename = ", "Internal Error", "Error Code: 0017.80004003"}),
      Row("a refused command line").Args("/qn /i").Ends(kExitInvalidCommandLine).Copy("none").Logs(
          {"Invalid command line argument: /i", "Internal Error", "Error Code: 0018.80070667",
           "Worker thread exiting with status code: 00000667"}),
      // Never a default installation with none of the options asked for.
      Row("a command line that could not be converted").WholeCommandLine("").Ends(kExitInvalidCommandLine)
          .Copy("none").Logs({"Setup command line = ", "Failed extracting the program name from the command line",
                              "Worker thread exiting with status code: 00000667"}),
      Row("another instance").Answer(Asked::kCreateInstanceMutex, 0).Ends(kExitAlreadyRunning).Copy("none").Logs(
          {"Another instance of the same install is currently running"}),
      // Two starts of the resume shortcut: the second leaves the copy to the first.
      Row("another instance started from the copy").Args("/qb- /~").Answer(Asked::kCreateInstanceMutex, 0)
          .Ends(kExitAlreadyRunning).Copy("kept"),
      Row("a run started from the copy removes it at the end").Args("/qb- /~").Copy("removed"),
      Row("a disk prompt of the Windows Installer").Answer(Asked::kIsPromptForCDMutexSet, 1).Copy("none").Logs(
          {"Found __MsiPromptForCD mutex"}),
      Row("a platform that does not qualify").Answer(Asked::kIsPlatformQualified, 0).Ends(kExitPlatformUnsupported)
          .Copy("none").Logs({""}),
      Row("no privileges for the engine").Answer(Asked::kIsInstallerVersionCurrent, 0)
          .Answer(Asked::kHasInstallPrivileges, 0)
          .Ends(kExitPrivilegeNotHeld).Logs({"User does not have the required privileges to install"}),
      Row("the engine restarts Windows, full UI").Args("").Answer(Asked::kIsInstallerVersionCurrent, 0)
          .Waits({kRebootStarted}).Ends(kIntermediateReboot).Leaves(kIntermediate).Copy("kept")
          .Logs({"Reboot signalled after installing the Windows Installer",
                 "Exiting due to reboot after installing the Windows Installer"}),
      Row("the engine asks for a reboot, full UI").Args("").Answer(Asked::kIsInstallerVersionCurrent, 0)
          .Waits({kReboot}).Ends(kExitRebootRequired).Leaves(kIntermediate).Copy("kept")
          .Logs({"Exiting due to reboot after installing the Windows Installer", kNoRestartStartedGoesOn}),
      Row("a removal asks for a reboot").Raises("UninstallPreviousVersions", kExitRebootRequired)
          .Ends(kExitRebootRequired).Leaves(kIntermediate).Copy("kept").Logs({kNoRestartStartedGoesOn}),
      Row("the engine asks for a reboot, /qb").Args("/qb").Answer(Asked::kIsInstallerVersionCurrent, 0).Waits({kReboot})
          .Ends(kIntermediateReboot).Leaves(kIntermediate).Copy("kept").RebootThread()
          .Logs({"The Windows Installer was installed silently, so reboots were suppressed",
                 "Initiating a reboot, so the Windows Installer will be functional"}),
      Row("the engine asks for a reboot, /qb with a REBOOT property").Args("/qb REBOOT=Force")
          .Answer(Asked::kIsInstallerVersionCurrent, 0).Waits({kReboot})
          .Logs({"The Windows Installer was installed silently, so reboots were suppressed",
                 "Unhooking reboot after running the Windows installer", "Exiting normally"}),
      Row("the engine asks for a reboot, restarts suppressed").Args("/qb /norestart")
          .Answer(Asked::kIsInstallerVersionCurrent, 0).Waits({kReboot}).Ends(kExitRebootRequired).Leaves(kIntermediate)
          .Copy("kept").Logs({"Reboot signalled after installing the Windows Installer",
                              "Restarts are suppressed, so Windows is not restarted; the setup goes on at the next logon"}),
      Row("the engine is still not usable").Answer(Asked::kIsInstallerVersionCurrent, 0)
          .Answer(Asked::kIsInstallerVersionCurrentAfter, 0).Ends(kExitUserExit)
          .Logs({"Unhooking reboot after running the Windows installer",
                 "The Windows Installer installation did not complete successfully"}),
      Row("the engine fails").Answer(Asked::kIsInstallerVersionCurrent, 0).Waits({{false, 1603}}).Ends(kExitFailure)
          .Logs({"Unhooking reboot due to error or normal exit"}),
      Row("previous versions removed on the second attempt").Answer(Asked::kUninstallPreviousVersions, 0)
          .Logs({"Attempting to uninstall previous versions again",
                 "Unhooking reboot after uninstalling previous versions", "Exiting normally"}),
      Row("a reinstall mode: no removal of previous versions").Args("/qb- REINSTALLMODE=vomus")
          .Logs({"Install mode is default or configure", "Exiting normally"}),
      Row("features run from source").Answer(Asked::kHasProductRegistryKey, 1)
          .Answer(Asked::kHasRunFromSourceFeatures, 1)
          .Logs({"The current version of the product is already installed",
                 "Exiting due to some features being run from source"}),
      Row("maintenance").Answer(Asked::kHasProductRegistryKey, 1)
          .Logs({"Launching the maintenance installer", "Exiting after running the maintenance installer"}),
      // A nested setup cut off before its product was installed.
      Row("maintenance, then the nested setup never installed").Answer(Asked::kHasProductRegistryKey, 1)
          .Answer(Asked::kHasNestedInstall, 1).Answer(Asked::kIsNestedProductInstalled, 0)
          .Logs({"Launching the maintenance installer", "The nested product is not installed",
                 "Launching the nested installer", "Nested installer was launched", "Exiting normally"}),
      Row("maintenance with the nested product installed").Answer(Asked::kHasProductRegistryKey, 1)
          .Answer(Asked::kHasNestedInstall, 1).Logs({"Exiting after running the maintenance installer"}),
      Row("maintenance restarts Windows").Answer(Asked::kHasProductRegistryKey, 1).Waits({kRebootStarted})
          .Ends(kExitRebootInitiated).Logs({"Exiting due to reboot after running the maintenance installer"}),
      Row("maintenance asks for a reboot").Answer(Asked::kHasProductRegistryKey, 1).Waits({kReboot})
          .Ends(kExitRebootRequired).Logs({"Exiting due to reboot after running the maintenance installer",
                                           kNoRestartStarted}),
      Row("maintenance asks for a reboot, restarts suppressed").Args("/qn /norestart")
          .Answer(Asked::kHasProductRegistryKey, 1).Waits({kReboot}).Ends(kExitRebootRequired)
          .Logs({"Restarts are suppressed, so Windows is not restarted"}),
      Row("the main installation fails").Waits({{false, 1603}}).Ends(kExitFailure)
          .Logs({"Exiting due to failure after running the main installation"}),
      Row("the product is not installed afterwards").Answer(Asked::kHasProductRegistryKey, 0)
          .Answer(Asked::kIsCurrentVersionInstalled, 0).Ends(kExitUserExit)
          .Logs({"Install mode is default or configure"}),
      Row("the main installation reboots").Waits({kRebootStarted}).Ends(kExitRebootInitiated)
          .Logs({"Reboot signaled after running the main installation",
                 "Exiting due to final reboot after running the main installation"}),
      Row("the main installation asks for a reboot").Waits({kReboot}).Ends(kExitRebootRequired)
          .Logs({"Exiting due to final reboot after running the main installation", kNoRestartStarted}),
      Row("the main installation asks for a reboot, restarts suppressed").Args("/qn /norestart").Waits({kReboot})
          .Ends(kExitRebootRequired).Logs({"Reboots were suppressed, so a reboot will be required later",
                                           "Restarts are suppressed, so Windows is not restarted",
                                           "Exiting normally; a restart is required"}),
      // A child that restarts Windows although restarts are suppressed: the
      // restart is under way, and what is left goes on after it.
      Row("the main installation restarts Windows, restarts suppressed").Args("/qn /norestart")
          .Waits({kRebootStarted}).Ends(kExitRebootInitiated)
          .Logs({"Exiting due to final reboot after running the main installation"}),
      Row("the main installation restarts Windows before a nested setup, restarts suppressed")
          .Args("/qn /norestart").Answer(Asked::kHasNestedInstall, 1)
          .Waits({kRebootStarted}).Ends(kIntermediateReboot).Leaves(kFinal).Copy("kept")
          .Logs({"Exiting due to intermediate reboot after running the main installation"}),
      // 460393 is a restart under way as 1641 is.
      Row("the main installation ends 460393 before a nested setup, restarts suppressed").Args("/qn /norestart")
          .Answer(Asked::kHasNestedInstall, 1).Waits({{true, kIntermediateReboot}}).Ends(kIntermediateReboot)
          .Leaves(kFinal).Copy("kept").Logs({"Exiting due to intermediate reboot after running the main installation"}),
      Row("a nested setup ends 460393, restarts suppressed").Args("/qn /norestart").Answer(Asked::kHasNestedInstall, 1)
          .Waits({{false, 0}, {true, kIntermediateReboot}}).Ends(kExitRebootInitiated).Copy("kept")
          .Logs({"Exiting due to intermediate reboot after launching the nested installer"}),
      Row("a nested setup restarts Windows, restarts suppressed").Args("/qn /norestart")
          .Answer(Asked::kHasNestedInstall, 1).Waits({{false, 0}, kRebootStarted})
          .Ends(kExitRebootInitiated).Logs({"Exiting due to reboot after launching the nested installer"}),
      Row("the engine restarts Windows, restarts suppressed").Args("/qb /norestart")
          .Answer(Asked::kIsInstallerVersionCurrent, 0).Waits({kRebootStarted}).Ends(kIntermediateReboot)
          .Leaves(kIntermediate).Copy("kept").Logs({"Reboot signalled after installing the Windows Installer"}),
      Row("the main installation reboots before a nested setup").Answer(Asked::kHasNestedInstall, 1)
          .Waits({kRebootStarted}).Ends(kIntermediateReboot).Leaves(kFinal).Copy("kept")
          .Logs({"Hooking reboot before running the main installation",
                 "Exiting due to intermediate reboot after running the main installation"}),
      // The shortcut finishes at the next logon; a rerun finishes it too.
      Row("the main installation asks for a reboot before a nested setup").Answer(Asked::kHasNestedInstall, 1)
          .Waits({kReboot}).Ends(kExitRebootRequired).Leaves(kFinal).Copy("kept")
          .Logs({"Exiting due to intermediate reboot after running the main installation", kNoRestartStartedGoesOn}),
      Row("a nested setup after the main installation").Answer(Asked::kHasNestedInstall, 1)
          .Logs({"Unhooking reboot after installing product", "Launching the nested installer",
                 "Nested installer was launched", "Exiting normally"}),
      Row("a nested setup that reboots").Answer(Asked::kHasNestedInstall, 1).Waits({{false, 0}, kRebootStarted})
          .Ends(kExitRebootInitiated).Logs({"Exiting due to reboot after launching the nested installer"}),
      Row("a nested setup that asks for a reboot").Answer(Asked::kHasNestedInstall, 1).Waits({{false, 0}, kReboot})
          .Ends(kExitRebootRequired)
          .Logs({"Exiting due to reboot after launching the nested installer", kNoRestartStarted}),
      Row("a nested setup ending with 460393").Answer(Asked::kHasNestedInstall, 1)
          .Waits({{false, 0}, {true, kExitIntermediateReboot}}).Ends(kExitRebootInitiated).Copy("kept")
          .Logs({"Exiting due to intermediate reboot after launching the nested installer"}),
      // A medium is installed only with its nested product.
      Row("a nested setup that fails").Data(kNestedInstall).Answer(Asked::kHasNestedInstall, 1)
          .Waits({{false, 0}, {false, 1603}}).Answer(Asked::kNestedInstalledAfterItsSetup, 0).Ends(kExitFailure)
          .Logs({"Nested installer was launched",
                 "The nested product {N} is not installed after its setup ended with 1603; exiting with 1603"}),
      Row("a nested setup that ends 0 without its product").Data(kNestedInstall).Answer(Asked::kHasNestedInstall, 1)
          .Answer(Asked::kNestedInstalledAfterItsSetup, 0).Ends(kExitFailure)
          .Logs({"The nested product {N} is not installed after its setup ended with 0; exiting with 1603"}),
      Row("a nested setup that fails but installed its product").Data(kNestedInstall)
          .Answer(Asked::kHasNestedInstall, 1).Waits({{false, 0}, {false, 1603}}).Logs({"Exiting normally"}),
      Row("a nested setup that cannot run").Data(kNestedInstall).Answer(Asked::kIsNestedProductInstalled, 0)
          .Ends(kExitFailure).Logs({"The nested product {N} is not installed and its setup did not run; exiting with 1603"}),
      Row("maintenance, and a nested setup that cannot run").Data(kNestedInstall)
          .Answer(Asked::kHasProductRegistryKey, 1)
          .Answer(Asked::kIsNestedProductInstalled, 0).Ends(kExitFailure)
          .Logs({"Launching the maintenance installer",
                 "The nested product {N} is not installed and its setup did not run; exiting with 1603"}),
      Row("a resume at the nested setup whose data file is gone").Data(kNestedInstall).Shortcut(kFinal)
          .Answer(Asked::kLaunchNestedInstaller, 0).Answer(Asked::kIsNestedProductInstalled, 0).Ends(kExitFailure)
          .Copy("none")
          .Logs({"Launching the nested installer", "The nested product {N} is not installed and its setup did not run; "
                 "exiting with 1603"}),
      Row("a removal needs no nested product").Args("/qb- /x Product.msi").Data(kNestedInstall)
          .Answer(Asked::kIsNestedProductInstalled, 0).Logs({"Exiting normally"}),
      Row("a resume at the nested setup").Shortcut(kFinal).Copy("none")
          .Logs({"Starting the SETUP process at launching the nested installation", "Launching the nested installer",
                 "Exiting normally"}),
      // Its nested setup runs from the copy: the copy is claimed before the
      // shortcut goes.
      Row("a resume at the nested setup claims its copy").Args("/qb- /~").Shortcut(kFinal)
          .Raises("ClaimTempCopy", kExitFailure).Ends(kExitFailure).Leaves(kFinal).Copy("removed"),
      // Removed after the check at the start (its data file went first).
      Row("a copy found removed after the start-up check").Args("/qb- /~").NoDataFile()
          .Answer(Asked::kStartedFromRemovedCopy, 2).Ends(kExitAlreadyRunning).Copy("kept")
          .Logs({"The temporary copy this setup was started from has been removed by another setup"}),
      Row("a run from a copy another setup removed").Args("/qb- /~").Shortcut(kFinal)
          .Answer(Asked::kStartedFromRemovedCopy, 1).Ends(kExitAlreadyRunning).Leaves(kFinal).Copy("kept")
          .Logs({"The temporary copy this setup was started from has been removed by another setup"}),
      // The shortcut of a main installation cut off by a power loss.
      Row("a resume whose main installation did not complete").Shortcut(kFinal).Answer(Asked::kInstalledBeforeMain, 0)
          .Answer(Asked::kHasNestedInstall, 1)
          .Logs({"Starting the SETUP process at launching the nested installation",
                 "The main installation did not complete; starting the setup from the beginning",
                 "Install mode is default or configure", "Hooking reboot before running the main installation",
                 "Launching the nested installer", "Exiting normally"}),
      Row("a leftover intermediate shortcut is removed").Shortcut(kIntermediate)
          .Logs({"Starting the SETUP process from the beginning", "Exiting normally"}),
      Row("suppressed reboot, restart answered Yes").Args("/qb").Answer(Asked::kHasNestedInstall, 1)
          .Answer(Asked::kOneReboot, 1)
          .Waits({kReboot}).Ends(kExitRebootInitiated).RebootThread()
          .Logs({"Reboots were suppressed, so a reboot will be required later",
                 "Initiating reboot so the product will be functional"}),
      Row("suppressed reboot, restart answered No").Args("/qb").Answer(Asked::kHasNestedInstall, 1)
          .Answer(Asked::kOneReboot, 1)
          .Waits({kReboot}).Restart(RestartAnswer::kNo).Ends(kExitRebootRequired)
          .Logs({"Initiating reboot so the product will be functional",
                 "The restart was declined, so Windows is not restarted", "Exiting normally; a restart is required"}),
      Row("suppressed reboot, the question cannot be shown").Args("/qb").Answer(Asked::kHasNestedInstall, 1)
          .Answer(Asked::kOneReboot, 1).Waits({kReboot}).Restart(RestartAnswer::kNotShown)
          .Ends(kExitRebootRequired)
          .Logs({"Initiating reboot so the product will be functional",
                 "The restart question could not be shown, so Windows is not restarted"}),
      Row("suppressed reboot, /passive does not ask").Args("/passive").Answer(Asked::kHasNestedInstall, 1)
          .Answer(Asked::kOneReboot, 1).Waits({kReboot}).Restart(RestartAnswer::kNotShown)
          .Ends(kExitRebootInitiated).RebootThread()
          .Logs({"Initiating reboot so the product will be functional"}),
      Row("suppressed reboot, /norestart").Args("/qb /norestart").Answer(Asked::kHasNestedInstall, 1)
          .Waits({kReboot}).Ends(kExitRebootRequired)
          .Logs({"Launching the nested installer", "Restarts are suppressed, so Windows is not restarted"}),
      Row("a nested setup asks for a reboot, restarts suppressed").Args("/qn /norestart")
          .Answer(Asked::kHasNestedInstall, 1).Waits({{false, 0}, kReboot})
          .Ends(kExitRebootRequired).Copy("kept")
          .Logs({"Reboot signaled by the nested installer; reboots were suppressed, so a reboot will be required later",
                 "Exiting normally; a restart is required"}),
      Row("suppressed reboot, /qn does not ask").Args("/qn").Answer(Asked::kHasNestedInstall, 1)
          .Answer(Asked::kOneReboot, 1).Waits({kReboot}).Restart(RestartAnswer::kNotShown)
          .Ends(kExitRebootInitiated).RebootThread()
          .Logs({"Initiating reboot so the product will be functional"}),
      Row("suppressed reboot, REBOOT=S").Args("/qb- REBOOT=S").Answer(Asked::kHasNestedInstall, 1)
          .Waits({kReboot}).Ends(kExitRebootRequired)
          .Logs({"Exiting normally; a restart is required"}),
      Row("a step ends the run with the shortcut in place").Raises("UninstallIncompatibleApplications", 1602)
          .Ends(kExitUserExit).Logs({"Unhooking reboot due to error or normal exit"}),
      Row("a removal reboots").Raises("UninstallIncompatibleApplications", kIntermediateReboot)
          .Ends(kIntermediateReboot).Leaves(kIntermediate).Copy("kept"),
      // The uninstaller restarted Windows all the same: a restart is under way.
      Row("a removal restarts Windows, restarts suppressed").Args("/qn REBOOT=ReallySuppress")
          .Raises("UninstallIncompatibleApplications", kIntermediateReboot).Ends(kIntermediateReboot)
          .Leaves(kIntermediate).Copy("kept").Logs({"Worker thread exiting with status code: 00070669"}),
      Row("the session ends during a removal, restarts suppressed").Args("/qn /norestart")
          .SessionEndsDuring("UninstallIncompatibleApplications")
          .Raises("UninstallIncompatibleApplications", kIntermediateReboot).Ends(kIntermediateReboot)
          .Leaves(kIntermediate).Copy("kept"),
      Row("memory runs out").Raises("CheckUpgradeConditions", kThrowBadAlloc).Ends(0x8007000Eu)
          .Logs({"Out of memory", "Internal Error", "Error Code: 001B.8007000E",
                 "Worker thread exiting with status code: 8007000E"}),
      Row("an internal error of a step").Raises("RunMainInstaller", 0x8004006Au).Ends(0x8004006Au),
      Row("anything else that is thrown").Raises("CheckUpgradeConditions", kThrowOther).Ends(kExitUnexpected),
      Row("the session ends during the copy").SessionEndsDuring("CopySetupToTempFolder").Ends(kExitRebootInitiated)
          .Logs({"Exiting due to the end of the Windows session", "Worker thread exiting with status code: 00000669"}),
      Row("the session ends during a step's box, the shortcut in place").SessionEndsDuring("InstallWindowsInstaller")
          .Raises("InstallWindowsInstaller", kExitRebootInitiated).Answer(Asked::kIsInstallerVersionCurrent, 0)
          .Ends(kIntermediateReboot).Leaves(kIntermediate).Copy("kept")
          .Logs({"Exiting due to the end of the Windows session"}),
      Row("the session ends during the main installation").SessionEndsDuring("RunMainInstaller")
          .Ends(kExitRebootInitiated).Logs({"Exiting due to final reboot after running the main installation"}),
      // Every resume shortcut name taken: no ending promises a resume.
      Row("the engine restarts Windows, no shortcut name free").Args("").Answer(Asked::kIsInstallerVersionCurrent, 0)
          .Answer(Asked::kHookReboot, 0).Waits({kRebootStarted}).Ends(kExitRebootInitiated)
          .Logs({"Exiting due to reboot after installing the Windows Installer", kNoShortcutInPlace}),
      Row("the engine asks for a reboot, no shortcut name free").Args("").Answer(Asked::kIsInstallerVersionCurrent, 0)
          .Answer(Asked::kHookReboot, 0).Waits({kReboot}).Ends(kExitRebootRequired)
          .Logs({kNoShortcutInPlace, kNoRestartStarted}),
      Row("a removal reboots, no shortcut name free").Raises("UninstallIncompatibleApplications", kIntermediateReboot)
          .Answer(Asked::kHookReboot, 0).Ends(kExitRebootInitiated).Logs({kNoShortcutInPlace}),
      Row("the session ends before the restart question").Args("/qb").Answer(Asked::kHasNestedInstall, 1)
          .Answer(Asked::kOneReboot, 1).Waits({kReboot}).SessionEndsDuring("AskToRestart")
          .Restart(RestartAnswer::kNo)
          .Ends(kExitRebootInitiated).Logs({"Exiting due to the end of the Windows session"}),
  };
}

// The expected lines appear in this order; others may lie between.
::testing::AssertionResult InOrder(const std::vector<std::string>& log, const std::vector<std::string>& lines) {
  size_t at = 0;
  for (const std::string& line : lines) {
    while (at < log.size() && log[at] != line) ++at;
    if (at == log.size()) {
      std::string all;
      for (const std::string& logged : log) all += "\n  " + logged;
      return ::testing::AssertionFailure() << "missing or out of order: \"" << line << "\" in" << all;
    }
    ++at;
  }
  return ::testing::AssertionSuccess();
}

class RunSequenceEnding : public ::testing::TestWithParam<Row> {};

TEST_P(RunSequenceEnding, AsTheTableSays) {
  const Row& row = GetParam();
  RecordingPlatform platform;
  platform.SetCommandLine(std::string(kProgram) + " " + row.arguments);
  StandInSteps steps(row);
  const uint32_t code = RunSetup(&steps);
  EXPECT_EQ(code, row.expectedCode);
  EXPECT_EQ(steps.Shortcut(), row.expectedShortcut);
  EXPECT_EQ(steps.Copy(), row.expectedCopy);
  EXPECT_EQ(steps.RebootThreadStarted(), row.expectedRebootThread);
  EXPECT_TRUE(InOrder(platform.LogLines(), row.expectedLines));
  // Every ending reaches the dialog, after the finish event.
  EXPECT_TRUE(steps.FinishSet());
  EXPECT_EQ(steps.Posted(), std::vector<uint32_t>{code});
}

// Each row's test is named after it, its blanks and signs as underscores.
INSTANTIATE_TEST_SUITE_P(Table, RunSequenceEnding, ::testing::ValuesIn(Endings()),
                         [](const ::testing::TestParamInfo<Row>& info) {
                           std::string name = info.param.name;
                           for (char& c : name) {
                             if (!isalnum(static_cast<unsigned char>(c))) c = '_';
                           }
                           return name;
                         });

// Only a resume from its copy waits for another setup's mutex (nothing at a
// logon starts it again); any other start is told at once.
TEST(RunSequenceEndings, OnlyAResumeWaitsForTheInstanceMutex) {
  for (const auto& [arguments, waits] : {std::pair{"/qb-", false}, {"/qb- /~", true}, {"/qb- /~-", false}}) {
    RecordingPlatform platform;
    const Row row = Row("held").Args(arguments).Answer(Asked::kCreateInstanceMutex, 0);
    StandInSteps steps(row);
    EXPECT_EQ(RunSetup(&steps), kExitAlreadyRunning);
    EXPECT_EQ(steps.MutexWaitAsked(), waits) << arguments;
  }
}

TEST(RunSequenceEndings, WithoutADialog) {
  RecordingPlatform platform;
  EXPECT_EQ(RunSetup(nullptr), kExitInvalidHandle);
  EXPECT_TRUE(InOrder(platform.LogLines(), {"Invalid parameter to WorkerThread()",
                                            "Worker thread exiting with status code: 00000006"}));
}

TEST(RunSequenceEndings, WhatTheDialogAndTheShortcutReceive) {
  RecordingPlatform platform;
  Row row = Row("before a nested setup").Answer(Asked::kHasNestedInstall, 1).Waits({kRebootStarted});
  StandInSteps steps(row);
  ASSERT_EQ(RunSetup(&steps), kExitIntermediateReboot);
  EXPECT_EQ(steps.Title(), "Setup - SETUP.INI");
  EXPECT_FALSE(steps.Visible()) << "hidden once the main installation runs";
  EXPECT_TRUE(steps.MutexReleased());
  // The copy is made before the first hook: the shortcut starts the copy,
  // and tells it that it runs from one.
  EXPECT_EQ(steps.RestartProgram(), "C:\\TEMP\\KIES0001\\SETUP.EXE");
  EXPECT_EQ(steps.RestartArguments(), "/qb- /~");
}

}  // namespace
}  // namespace kq
