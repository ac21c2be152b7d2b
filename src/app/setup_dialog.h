#pragma once
// SetupDialog: the setup's only window, a small modal dialog saying "Please
// wait while setup loads....". It owns the SetupEngine, starts the worker
// thread the first time it is shown, ends when the worker posts
// WM_ENDSETUPDIALOG, and carries the run through an end of the Windows
// session: it tells the worker the session is ending and holds the process
// until the worker has finished its bookkeeping.
#include <windows.h>

#include <cstdint>
#include <memory>

#include "steps/setup_engine.h"
#include "sys/scoped_handle.h"

namespace kq {

// Posted by the worker with wParam 0 and lParam the run's SetupExitCode.
constexpr UINT WM_ENDSETUPDIALOG = WM_USER + 1;

class SetupDialog {
 public:
  // Creates the two events and loads the icon.
  explicit SetupDialog(HINSTANCE instance);
  // Deletes the engine; the worker has posted its result by then.
  ~SetupDialog();
  SetupDialog(const SetupDialog&) = delete;
  SetupDialog& operator=(const SetupDialog&) = delete;

  // Runs the dialog modally. Returns the code the worker posted, or
  // kExitInvalidHandle when the dialog could not be created.
  uint32_t RunModal();

  // What the worker thread uses.
  HWND GetWindow() const { return window_; }
  SetupEngine* GetEngine() const { return engine_.get(); }
  HANDLE GetEndSessionEvent() const { return endSessionEvent_.Get(); }
  HANDLE GetFinishEvent() const { return finishEvent_.Get(); }

 private:
  static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR HandleMessage(UINT message, WPARAM wParam, LPARAM lParam);
  void OnInitDialog();
  void OnShowWindow();
  bool OnPaint();
  void OnQueryEndSession();
  void OnEndSession(bool ending);
  void EndWithCode(uint32_t code);
  // A dialog procedure's answer to a message that has a result of its own.
  INT_PTR Answer(LONG_PTR result);

  HINSTANCE instance_;
  HWND window_ = nullptr;
  HWND text_ = nullptr;
  std::unique_ptr<SetupEngine> engine_;
  ScopedHandle endSessionEvent_;
  ScopedHandle finishEvent_;
  ScopedHandle workerThread_;
  HICON icon_ = nullptr;  // a shared resource icon: never destroyed
  uint32_t result_ = 0;
};

}  // namespace kq
