#pragma once
// The system services around the installation steps that the run sequence
// (worker_thread.cpp) calls: the dialog, the instance mutex, the resume
// shortcut, the waits, the restart. The steps themselves are the engine's
// (SetupSteps). The program passes the real services (worker_thread_win.cpp);
// the endings table of the unit tests passes stand-ins, so that the
// sequence's own code is what the table checks.
#include <cstdint>
#include <string>

namespace kq {

class IniFileOpener;
class ResumeHook;
class SetupSteps;

// The answer to the restart question. kNotShown: the box could not be
// shown, so nobody consented; any answer but Yes (a box closed at the end of
// the session, say) is kNo.
enum class RestartAnswer { kYes, kNo, kNotShown };

class RunServices {
 public:
  virtual ~RunServices() = default;

  // The dialog's engine, whose steps the run calls; null when it has none.
  virtual SetupSteps* Engine() = 0;

  // --- The program and its surroundings -------------------------------------
  // The program's file name ("" when it cannot be had) and command line.
  virtual std::string ProgramPath() = 0;
  virtual std::string ProgramCommandLine() = 0;
  virtual uint32_t UserAnsiCodePage() = 0;
  virtual uint32_t UserOemCodePage() = 0;
  // Whether the program runs from a temporary copy that another setup has
  // removed since it started.
  virtual bool StartedFromRemovedCopy() = 0;
  // Where the setup data file is read from.
  virtual IniFileOpener& DataFileOpener() = 0;

  // --- The dialog: nothing here waits for the dialog's thread -----------------
  virtual void SetTitle(const std::string& title) = 0;
  virtual void ShowDialog(bool visible) = 0;
  // Whether Windows has asked to end the session.
  virtual bool SessionEnding() = 0;
  // The restart question, asked with Yes and No.
  virtual RestartAnswer AskToRestart(const std::string& text, const std::string& caption) = 0;
  // Sets the finish event, then posts the result to the dialog.
  virtual void SetFinishEvent() = 0;
  virtual void PostResult(uint32_t code) = 0;

  // --- Reboot control --------------------------------------------------------
  // False when another instance holds the mutex or it cannot be created.
  // With `waitForOther`, a mutex another setup holds is waited for (a
  // bounded time, ended by the end of the session); once it is free, false
  // all the same when no resume shortcut of this setup is left: the setup
  // that held it finished what this run was started for.
  virtual bool CreateInstanceMutex(const std::string& dataFileName, bool waitForOther) = 0;
  virtual void ReleaseInstanceMutex() = 0;
  // The owner of this run's resume shortcut, which outlives the run: the
  // dialog reads its answer at an end of the session (app/resume_hook.h).
  virtual ResumeHook& Resume() = 0;
  // Whether this setup's resume shortcut is in place with `tag`.
  virtual bool HookReboot(const std::string& tag, const std::string& restartProgram,
                          const std::string& restartArguments) = 0;
  // Whether a resume shortcut of this setup with `tag` was found and removed.
  virtual bool UnhookReboot(const std::string& tag) = 0;
  virtual void StartRebootThread() = 0;
  // Waits for the current child process and reads its exit code into
  // `exitCode`; true when a reboot was detected (an exit code that asks for
  // one, or the end of the session, which leaves `exitCode` as it was).
  virtual bool WaitForChild(uint32_t& exitCode) = 0;
};

// Runs the sequence through `services` (null: the worker got no dialog) and
// its exit handling; returns the SetupExitCode.
uint32_t RunSetup(RunServices* services);

}  // namespace kq
