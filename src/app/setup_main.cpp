// SETUP.EXE: runs the progress dialog, which runs the setup on its worker
// thread, and exits with the code the run ended with.
#include <windows.h>
#include <commctrl.h>

#include "app/setup_dialog.h"
#include "steps/temp_copy.h"
#include "sys/reboot_thread.h"
#include "sys/wide_ansi.h"
#include "text/mbcs_path.h"

namespace {

constexpr DWORD kRebootThreadWaitMs = 10000;

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
  // Before anything is read: a setup that sweeps leftover copies meanwhile
  // must see that this one runs from its copy.
  std::string programFolder = kq::FolderOf(kq::GetProgramPath(kq::ModulePathCaller::kRunSequence));
  kq::AppendBackslash(programFolder);
  kq::MarkTempCopyInUse(programFolder);
  // The progress bar of the dialog template is a common control.
  // InitCommonControlsEx needs the COMCTL32 of Internet Explorer 3 or later,
  // which a bare NT 4.0 lacks; the first version registers the same class.
  InitCommonControls();

  uint32_t code;
  {
    kq::SetupDialog dialog(instance);
    code = dialog.RunModal();
  }  // the dialog, and with it the engine, goes here
  kq::WaitForRebootThread(kRebootThreadWaitMs);
  if (code != 0) ExitProcess(code);
  return 0;
}
