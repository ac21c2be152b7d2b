// The worker thread of the program: COM for the thread, and the run sequence
// (worker_thread.cpp) with the real steps: the dialog's SetupEngine, its
// window and events, the instance mutex and the resume shortcut.
#include "app/worker_thread.h"

#include <objbase.h>

#include "app/run_steps.h"
#include "app/setup_dialog.h"
#include "config/setup_command_line.h"
#include "ini/ini_byte_file.h"
#include "steps/setup_engine.h"
#include "sys/child_process.h"
#include "sys/instance_mutex.h"
#include "sys/reboot_thread.h"
#include "sys/resume_shortcut.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

class DialogRunSteps : public RunSteps {
 public:
  explicit DialogRunSteps(SetupDialog& dialog) : dialog_(dialog), engine_(dialog.GetEngine()) {}

  bool HasEngine() override { return engine_ != nullptr; }

  std::string ProgramPath() override { return GetProgramPath(ModulePathCaller::RunSequence); }
  std::string ProgramCommandLine() override { return GetProgramCommandLine(); }
  uint32_t UserAnsiCodePage() override { return kq::UserAnsiCodePage(); }
  uint32_t UserOemCodePage() override { return kq::UserOemCodePage(); }
  IniFileOpener& DataFileOpener() override { return PlatformFileOpener(); }

  void SetTitle(const std::string& title) override { dialog_.PostTitle(title); }
  void ShowDialog(bool visible) override { ShowWindowAsync(Window(), visible ? SW_SHOWNORMAL : SW_HIDE); }
  bool SessionEnding() override { return WaitForSingleObject(dialog_.GetEndSessionEvent(), 0) == WAIT_OBJECT_0; }
  int AskToRestart(const std::string& text, const std::string& caption) override {
    const int answer =
        MessageBoxA(Window(), text.c_str(), caption.c_str(), MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND);
    if (answer == 0) SetupLogF("MessageBox() failed. Error Code = %08X", static_cast<unsigned>(GetLastError()));
    return answer;
  }
  void SetFinishEvent() override { SetEvent(dialog_.GetFinishEvent()); }
  void PostResult(uint32_t code) override {
    PostMessageA(Window(), WM_ENDSETUPDIALOG, 0, static_cast<LPARAM>(code));
  }

  bool CreateInstanceMutex(const std::string& dataFileName) override {
    mutex_ = kq::CreateInstanceMutex(dataFileName);
    return mutex_.IsValid();
  }
  void ReleaseInstanceMutex() override {
    ReleaseMutex(mutex_.Get());
    mutex_.Close();
  }
  int HookReboot(const std::string& tag, const std::string& restartProgram,
                 const std::string& restartArguments) override {
    const int placed = kq::HookReboot(Window(), tag, restartProgram, restartArguments);
    dialog_.NoteResumeHook(placed != 0);
    return placed;
  }
  int UnhookReboot(const std::string& tag) override {
    const int removed = kq::UnhookReboot(Window(), tag);
    if (removed != 0) dialog_.NoteResumeHook(false);
    return removed;
  }
  void StartRebootThread() override { kq::StartRebootThread(); }
  bool WaitForChild(uint32_t* exitCode) override {
    return WaitForChildOrReboot(CurrentChildProcess(), dialog_.GetEndSessionEvent(), false, exitCode) != 0;
  }

  void SetCommandLine(SetupCommandLine* commandLine) override { engine_->SetCommandLine(commandLine); }
  int IsPromptForCDMutexSet() override { return engine_->IsPromptForCDMutexSet(); }
  int IsPlatformQualified() override { return engine_->IsPlatformQualified(); }
  void CheckIncompatibleApplications() override { engine_->CheckIncompatibleApplications(); }
  void CopySetupToTempFolder() override { engine_->CopySetupToTempFolder(); }
  void UninstallIncompatibleApplications() override { engine_->UninstallIncompatibleApplications(); }
  void CheckUpgradeConditions() override { engine_->CheckUpgradeConditions(); }
  void ShutDownApplications() override { engine_->ShutDownApplications(); }
  std::string GetPackageFolder() override { return engine_->GetPackageFolder(); }
  void LoadProductInformation(const std::string& packagePath) override {
    engine_->LoadProductInformation(packagePath.c_str());
  }
  int UninstallPreviousVersions() override { return engine_->UninstallPreviousVersions(); }
  int IsInstallerVersionCurrent() override { return engine_->IsInstallerVersionCurrent(); }
  int HasInstallPrivileges() override { return engine_->HasInstallPrivileges(); }
  void InstallWindowsInstaller() override { engine_->InstallWindowsInstaller(); }
  int HasProductRegistryKey() override { return engine_->HasProductRegistryKey(); }
  int IsCurrentVersionInstalled() override { return engine_->IsCurrentVersionInstalled(); }
  int HasRunFromSourceFeatures() override { return engine_->HasRunFromSourceFeatures(); }
  void RunMaintenanceInstaller() override { engine_->RunMaintenanceInstaller(); }
  int HasNestedInstall(int* rebootsSuppressed) override { return engine_->HasNestedInstall(rebootsSuppressed); }
  void RunMainInstaller(int rebootsSuppressed) override { engine_->RunMainInstaller(rebootsSuppressed); }
  int LaunchNestedInstaller() override { return engine_->LaunchNestedInstaller(); }
  void LaunchPostInstallApplications() override { engine_->LaunchPostInstallApplications(); }
  void GetProductName(std::string& name) override { engine_->GetProductName(name); }
  void RemoveTempFolder() override { engine_->RemoveTempFolder(); }

 private:
  HWND Window() const { return dialog_.GetWindow(); }

  SetupDialog& dialog_;
  SetupEngine* engine_;
  ScopedHandle mutex_;
};

}  // namespace

DWORD WINAPI WorkerThread(void* parameter) {
  SetupLog("Worker thread starting...");
  const HRESULT com = CoInitialize(nullptr);
  uint32_t code;
  if (parameter == nullptr) {
    code = RunSetup(nullptr);
  } else {
    DialogRunSteps steps(*static_cast<SetupDialog*>(parameter));
    code = RunSetup(&steps);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return code;
}

}  // namespace kq
