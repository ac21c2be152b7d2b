#include "app/setup_dialog.h"

#include <string>

#include "app/resource_ids.h"
#include "sys/setup_exit_code.h"
#include "app/worker_thread.h"
#include "sys/messages.h"
#include "sys/session_end.h"
#include "sys/quiet_ui.h"
#include "sys/run_platform.h"
#include "sys/setup_log.h"

namespace kq {

namespace {

// Before the dialog ends with the worker's result: posting it is the
// worker's last act, after which it only returns. Nothing joins the worker
// thread, and the dialog, with the engine the worker used, is destroyed as
// soon as the modal loop ends: the pause lets the worker get out first.
constexpr DWORD kEndDialogPauseMs = 200;
// On WM_QUERYENDSESSION, before the end-session event is set: the child the
// worker waits for (MSIEXEC, the engine's redistributable, an uninstaller)
// gets the same query and may end with its own code. The worker's wait
// takes the child before the event when both are signalled, so a child
// that ends within the pause is read with its code (a 1641 or 3010 of its
// own) rather than told as a bare end of the session.
constexpr DWORD kQueryEndSessionPauseMs = 2000;
// After the finish event, how long WM_ENDSESSION waits for the worker's
// posted result, which follows the event at once.
constexpr DWORD kPostedResultWaitMs = 2000;
constexpr DWORD kPollMs = 10;
// How long WM_ENDSESSION waits for the worker. Every step stops at its next
// check once the session ends, so the worker normally finishes within a few
// seconds; should it not (a call that does not return), the process ends
// anyway with the code the worker would have chosen, well before Windows
// gives up on the session's end.
constexpr DWORD kFinishWaitMs = 20000;

BOOL CALLBACK CloseIfBox(HWND window, LPARAM) {
  char className[16] = {};
  if (GetClassNameA(window, className, sizeof className) == 0 || lstrcmpA(className, "#32770") != 0) return TRUE;
  const WORD button = GetDlgItem(window, IDCANCEL) != nullptr ? IDCANCEL
                      : GetDlgItem(window, IDNO) != nullptr   ? IDNO
                                                              : IDOK;
  SetupLog("UI Closing a message box of the worker: the session is ending");
  PostMessageA(window, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), 0);
  return TRUE;
}

}  // namespace

SetupDialog::SetupDialog(HINSTANCE instance)
    : instance_(instance),
      endSessionEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      finishEvent_(CreateEventA(nullptr, TRUE, FALSE, nullptr)),
      icon_(LoadIconA(instance, MAKEINTRESOURCEA(IDI_SETUP_ICON))),
      hidden_(HiddenDialogCommandLine(CurrentRunPlatform().processCommandLine())) {}

SetupDialog::~SetupDialog() = default;

uint32_t SetupDialog::RunModal() {
  const INT_PTR ended = DialogBoxParamA(instance_, MAKEINTRESOURCEA(IDD_SETUP_DIALOG), nullptr, DialogProc,
                                        reinterpret_cast<LPARAM>(this));
  // The result travels in result_: a code such as 0xFFFFFFFF would read as
  // DialogBoxParam's own failure value.
  if (ended == -1 && window_ == nullptr) {
    SetupLogF("Failed to create the setup dialog. Error Code = %08X", static_cast<unsigned>(GetLastError()));
    if (!hidden_) return kExitInvalidHandle;
    return RunWithoutWindow();
  }
  return result_;
}

uint32_t SetupDialog::RunWithoutWindow() {
  // /qn never shows the dialog, so a session without a desktop to create it
  // on (no display, a service whose desktop heap is used up) loses nothing
  // but the end-of-session messages, which only a window receives.
  SetupLog("The UI level shows no window: the setup runs without its dialog");
  engine_.reset(new SetupEngine(nullptr, endSessionEvent_.Get()));
  return WorkerThread(this);
}

INT_PTR CALLBACK SetupDialog::DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(window, DWLP_USER, lParam);
    reinterpret_cast<SetupDialog*>(lParam)->window_ = window;
  }
  auto* dialog = reinterpret_cast<SetupDialog*>(GetWindowLongPtrA(window, DWLP_USER));
  return dialog != nullptr ? dialog->HandleMessage(message, wParam, lParam) : FALSE;
}

INT_PTR SetupDialog::Answer(LONG_PTR result) {
  SetWindowLongPtrA(window_, DWLP_MSGRESULT, result);
  return TRUE;
}

INT_PTR SetupDialog::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG:
      OnInitDialog();
      return TRUE;  // focus the default way
    case WM_SHOWWINDOW:
      StartWorker();
      return FALSE;
    case WM_WINDOWPOSCHANGING:
      // The template is visible and the modal loop shows the dialog when
      // its queue first runs empty: a hidden run takes every show away.
      if (hidden_) reinterpret_cast<WINDOWPOS*>(lParam)->flags &= ~SWP_SHOWWINDOW;
      return FALSE;
    case WM_PAINT:
      return OnPaint() ? TRUE : FALSE;
    case WM_QUERYDRAGICON:
      return reinterpret_cast<INT_PTR>(icon_);
    case WM_CLOSE:
      return TRUE;
    case WM_COMMAND:
      // Enter and Esc would end the modal loop with IDOK or IDCANCEL while
      // the worker still runs and uses the engine: ignore them.
      return (LOWORD(wParam) == IDOK || LOWORD(wParam) == IDCANCEL) ? TRUE : FALSE;
    case WM_SETUPDIALOGTITLE: {
      std::string title;
      {
        AutoLock hold(titleLock_);
        title = title_;
      }
      SetWindowTextA(window_, title.c_str());
      return TRUE;
    }
    case WM_ENDSETUPDIALOG:
      SetupLog("UI Received WM_ENDSETUPDIALOG message");
      Sleep(kEndDialogPauseMs);
      EndWithCode(static_cast<uint32_t>(lParam));
      return Answer(1);
    case WM_QUERYENDSESSION:
      OnQueryEndSession();
      return Answer(TRUE);
    case WM_ENDSESSION:
      OnEndSession(wParam != FALSE);
      return Answer(0);
    default:
      return FALSE;
  }
}

void SetupDialog::OnInitDialog() {
  SendMessageA(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(icon_));
  SendMessageA(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(icon_));
  if (HMENU systemMenu = GetSystemMenu(window_, FALSE)) {
    EnableMenuItem(systemMenu, SC_CLOSE, MF_BYCOMMAND | MF_GRAYED);
  }
  text_ = GetDlgItem(window_, IDC_STATUS_TEXT);
  SetWindowTextA(text_, GetMessageText(kMsgPleaseWait).c_str());
  SetWindowTextA(window_, GetMessageText(kMsgSetup).c_str());
  // A hidden dialog gets no WM_SHOWWINDOW to start the run from.
  if (hidden_) StartWorker();
}

void SetupDialog::StartWorker() {
  if (workerThread_) return;
  engine_.reset(new SetupEngine(window_, endSessionEvent_.Get()));
  workerThread_.Reset(CreateThread(nullptr, 0, WorkerThread, this, 0, &workerThreadId_));
  if (!workerThread_) {
    SetupLogF("Failed to start the worker thread. Error Code = %08X", static_cast<unsigned>(GetLastError()));
    EndWithCode(kExitUnexpected);
  }
}

bool SetupDialog::OnPaint() {
  if (!IsIconic(window_)) return false;
  PAINTSTRUCT paint;
  HDC dc = BeginPaint(window_, &paint);
  SendMessageA(window_, WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT client;
  GetClientRect(window_, &client);
  const int x = (client.right - client.left - GetSystemMetrics(SM_CXICON) + 1) / 2;
  const int y = (client.bottom - client.top - GetSystemMetrics(SM_CYICON) + 1) / 2;
  DrawIcon(dc, x, y, icon_);
  EndPaint(window_, &paint);
  return true;
}

void SetupDialog::OnQueryEndSession() {
  SetupLog("UI Received WM_QUERYENDSESSION message");
  Sleep(kQueryEndSessionPauseMs);
  SetEvent(endSessionEvent_.Get());
  NoteSessionEnding();
  CloseWorkerBoxes();
}

// A box the worker shows (a step's question or error) would hold it until
// someone answers; at the end of the session nobody will. Each is ended with
// its Cancel, No or OK button; the worker then sees the session ending and
// ignores the answer.
void SetupDialog::CloseWorkerBoxes() {
  if (workerThreadId_ != 0) EnumThreadWindows(workerThreadId_, CloseIfBox, 0);
}

// Waits for the worker's finish event for at most kFinishWaitMs while still
// answering the messages other threads send to the dialog (a box of the
// worker's that closes re-enables its owner, the dialog, with a sent
// message): a worker that does send one is never held up by this wait.
bool SetupDialog::WaitForFinish() {
  const DWORD start = GetTickCount();
  for (;;) {
    const DWORD waited = GetTickCount() - start;
    if (waited >= kFinishWaitMs) return false;
    HANDLE finish = finishEvent_.Get();
    const DWORD result = MsgWaitForMultipleObjects(1, &finish, FALSE, kFinishWaitMs - waited, QS_SENDMESSAGE);
    if (result == WAIT_OBJECT_0) return true;
    if (result != WAIT_OBJECT_0 + 1) return false;
    MSG sent;
    PeekMessageA(&sent, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
  }
}

void SetupDialog::OnEndSession(bool ending) {
  SetupLog("UI Received WM_ENDSESSION message");
  if (!WaitForFinish()) {
    const uint32_t code = resumeHook_.RestartUnderWayCode();
    SetupLogF("UI Finish event was not signalled within %u ms; exiting with %08X",
              static_cast<unsigned>(kFinishWaitMs), static_cast<unsigned>(code));
    if (ending) ExitProcess(code);
    return;
  }
  SetupLog("UI Finish event was signalled");
  // The worker posts its result just after setting the event; give it a
  // moment to arrive rather than let the session end take the process down
  // before the dialog has the code.
  MSG posted;
  bool found = false;
  for (DWORD waited = 0; !found && waited <= kPostedResultWaitMs; waited += kPollMs) {
    found = PeekMessageA(&posted, window_, WM_ENDSETUPDIALOG, WM_ENDSETUPDIALOG, PM_REMOVE) != 0;
    if (!found) Sleep(kPollMs);
  }
  if (found) {
    SetupLog("UI Dequeued WM_ENDSETUPDIALOG message");
    Sleep(kEndDialogPauseMs);
    EndWithCode(static_cast<uint32_t>(posted.lParam));
    // Windows may end the process as soon as this message returns, with an
    // exit code of its choosing; leave now with the run's own.
    if (ending) ExitProcess(result_);
  }
}

void SetupDialog::PostTitle(const std::string& title) {
  {
    AutoLock hold(titleLock_);
    title_ = title;
  }
  PostMessageA(window_, WM_SETUPDIALOGTITLE, 0, 0);
}

void SetupDialog::EndWithCode(uint32_t code) {
  result_ = code;
  EndDialog(window_, static_cast<INT_PTR>(code));
}

}  // namespace kq
