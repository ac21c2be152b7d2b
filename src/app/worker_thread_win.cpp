// The worker thread of the program: COM for the thread, and the run sequence
// (worker_thread.cpp) with the real services around the dialog's
// SetupEngine: its window and events, the instance mutex and the resume
// shortcut.
#include "app/worker_thread.h"

#include <objbase.h>

#include "app/run_services.h"
#include "app/setup_dialog.h"
#include "ini/ini_byte_file.h"
#include "steps/setup_engine.h"
#include "steps/temp_copy.h"
#include "sys/child_process.h"
#include "sys/instance_mutex.h"
#include "sys/reboot_thread.h"
#include "sys/resume_shortcut.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

class DialogServices : public RunServices {
 public:
  explicit DialogServices(SetupDialog& dialog) : dialog_(dialog) {}

  SetupSteps* Engine() override { return dialog_.GetEngine(); }

  std::string ProgramPath() override { return GetProgramPath(ModulePathCaller::kRunSequence); }
  std::string ProgramCommandLine() override { return GetProgramCommandLine(); }
  uint32_t UserAnsiCodePage() override { return kq::UserAnsiCodePage(); }
  uint32_t UserOemCodePage() override { return kq::UserOemCodePage(); }
  IniFileOpener& DataFileOpener() override { return PlatformFileOpener(); }
  bool StartedFromRemovedCopy() override {
    return IsRemovedTempCopy(ProgramFolder(), NameOf(GetProgramPath(ModulePathCaller::kRunSequence)));
  }

  void SetTitle(const std::string& title) override { dialog_.PostTitle(title); }
  void ShowDialog(bool visible) override { ShowWindowAsync(Window(), visible ? SW_SHOWNORMAL : SW_HIDE); }
  bool SessionEnding() override { return WaitForSingleObject(dialog_.GetEndSessionEvent(), 0) == WAIT_OBJECT_0; }
  RestartAnswer AskToRestart(const std::string& text, const std::string& caption) override {
    const int answer =
        MessageBoxA(Window(), text.c_str(), caption.c_str(), MB_YESNO | MB_ICONWARNING | MB_SETFOREGROUND);
    if (answer == 0) {
      SetupLogF("MessageBox() failed. Error Code = %08X", static_cast<unsigned>(GetLastError()));
      return RestartAnswer::kNotShown;
    }
    return answer == IDYES ? RestartAnswer::kYes : RestartAnswer::kNo;
  }
  void SetFinishEvent() override { SetEvent(dialog_.GetFinishEvent()); }
  void PostResult(uint32_t code) override {
    PostMessageA(Window(), WM_ENDSETUPDIALOG, 0, static_cast<LPARAM>(code));
  }

  bool CreateInstanceMutex(const std::string& dataFileName, bool waitForOther) override {
    if (!waitForOther) {
      mutex_ = kq::CreateInstanceMutex(dataFileName);
      return mutex_.IsValid();
    }
    bool waited = false;
    mutex_ = WaitForInstanceMutex(dataFileName, dialog_.GetEndSessionEvent(), kInstanceMutexWaitMs, waited);
    // The setup that held it may have been this one run again (from its
    // medium), which removed the shortcut this run was started from. (Any
    // tag of the data file finds this setup's shortcuts.)
    if (mutex_ && waited &&
        !kq::HasResumeShortcut(Window(), Classifier(dataFileName + ".Intermediate"))) {
      SetupLog("No resume shortcut of this setup is left: the other setup has done what this one was started for");
      ReleaseInstanceMutex();
    }
    return mutex_.IsValid();
  }
  void ReleaseInstanceMutex() override {
    ReleaseMutex(mutex_.Get());
    mutex_.Close();
  }
  bool HookReboot(const std::string& tag, const std::string& restartProgram,
                  const std::string& restartArguments) override {
    return kq::HookReboot(Window(), tag, restartProgram, restartArguments, Classifier(tag));
  }
  bool UnhookReboot(const std::string& tag) override { return kq::UnhookReboot(Window(), tag, Classifier(tag)); }
  ResumeHook& Resume() override { return dialog_.GetResumeHook(); }
  void StartRebootThread() override { kq::StartRebootThread(); }
  bool WaitForChild(uint32_t& exitCode) override {
    SetupEngine* engine = dialog_.GetEngine();
    return WaitForChildOrReboot(engine != nullptr ? engine->CurrentChildProcess() : nullptr,
                                dialog_.GetEndSessionEvent(), false, &exitCode);
  }

 private:
  HWND Window() const { return dialog_.GetWindow(); }
  // Tells this setup's resume shortcuts by the medium they are of.
  ResumeShortcutClassifier Classifier(const std::string& tag) {
    SetupEngine* engine = dialog_.GetEngine();
    return ClassifyResumeShortcuts(ProgramFolder(), tag,
                                   engine != nullptr ? engine->RunMediumIdentity() : std::string());
  }
  static std::string ProgramFolder() {
    std::string folder = FolderOf(GetProgramPath(ModulePathCaller::kRunSequence));
    AppendBackslash(folder);
    return folder;
  }

  SetupDialog& dialog_;
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
    DialogServices services(*static_cast<SetupDialog*>(parameter));
    code = RunSetup(&services);
  }
  if (SUCCEEDED(com)) CoUninitialize();
  return code;
}

}  // namespace kq
