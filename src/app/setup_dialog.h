#pragma once
// SetupDialog: the setup's only window, a small modal dialog saying "Please
// wait while setup loads....". It owns the SetupEngine, starts the worker
// thread the first time it is shown (at once, and never shown, when the
// command line asks for UiLevel::kQuiet), ends when the worker posts
// WM_ENDSETUPDIALOG, and carries the run through an end of the Windows
// session: it tells the worker the session is ending and holds the process
// until the worker has finished its bookkeeping.
#include <windows.h>

#include <cstdint>
#include <memory>
#include <string>

#include "app/resume_hook.h"
#include "steps/setup_engine.h"
#include "sys/lock.h"
#include "sys/scoped_handle.h"

namespace kq {

// Posted by the worker with wParam 0 and lParam the run's SetupExitCode.
constexpr UINT WM_ENDSETUPDIALOG = WM_USER + 1;
// Posted by the worker when it has set a new title (PostTitle).
constexpr UINT WM_SETUPDIALOGTITLE = WM_USER + 2;

class SetupDialog {
 public:
  // Creates the two events and loads the icon.
  explicit SetupDialog(HINSTANCE instance);
  // Deletes the engine; the worker has posted its result by then.
  ~SetupDialog();
  SetupDialog(const SetupDialog&) = delete;
  SetupDialog& operator=(const SetupDialog&) = delete;

  // Runs the dialog modally. Returns the code the worker posted. When the
  // dialog cannot be created: at UiLevel::kQuiet, which shows nothing, the run
  // goes on without a window on this thread; otherwise kExitInvalidHandle.
  uint32_t RunModal();

  // What the worker thread uses.
  HWND GetWindow() const { return window_; }
  SetupEngine* GetEngine() const { return engine_.get(); }
  HANDLE GetEndSessionEvent() const { return endSessionEvent_.Get(); }
  HANDLE GetFinishEvent() const { return finishEvent_.Get(); }
  // The worker never waits for the dialog's thread (which may itself be
  // waiting for the worker at the end of a session): the title travels in a
  // posted message, the window is shown and hidden with ShowWindowAsync.
  void PostTitle(const std::string& title);
  // The run's resume shortcut, whose answer an end of the session that the
  // worker does not finish in time ends with.
  ResumeHook& GetResumeHook() { return resumeHook_; }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void StartWorker();
  uint32_t RunWithoutWindow();
  bool OnPaint();
  void OnQueryEndSession();
  void OnEndSession(bool ending);
  void EndWithCode(uint32_t code);
  void CloseWorkerBoxes();
  bool WaitForFinish();
  // A dialog procedure's answer to a message that has a result of its own.
  INT_PTR Answer(LONG_PTR result);

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND text_ = nullptr;
  std::unique_ptr<SetupEngine> engine_;
  ScopedHandle endSessionEvent_;
  ScopedHandle finishEvent_;
  ScopedHandle workerThread_;
  DWORD workerThreadId_ = 0;
  HICON icon_ = nullptr;  // a shared resource icon: never destroyed
  CriticalSection titleLock_;
  std::string title_;  // under titleLock_
  ResumeHook resumeHook_;
  uint32_t result_ = 0;
  // UiLevel::kQuiet: the dialog stays hidden from its creation to its end.
  bool hidden_ = false;
};

}  // namespace kq
