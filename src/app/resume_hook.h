#pragma once
// The resume shortcut of one run: the one place that places it, removes it,
// keeps it for the next logon and, at the end, removes what is left of it;
// and the one place that says what a restart under way answers (460393 while
// a shortcut goes on after it, 1641 otherwise). The run sequence changes it
// on the worker thread; the dialog reads the answer on its own thread at an
// end of the session that the worker does not finish in time, so it lives
// as long as the dialog and its state is atomic.
#include <atomic>
#include <cstdint>
#include <string>

#include "app/run_services.h"
#include "sys/run_platform.h"
#include "sys/setup_exit_code.h"

namespace kq {

class ResumeHook {
 public:
  // kKept: in place, and left there when the run ends, so that the setup
  // goes on at the next logon (a restart it needs and did not start).
  enum class State { kNone, kInPlace, kKept };

  // Places the shortcut with `tag`, starting `program` with `arguments`;
  // in place only when the services could place it.
  void Hook(RunServices& services, const std::string& tag, const std::string& program, const std::string& arguments) {
    state_ = services.HookReboot(tag, program, arguments) ? State::kInPlace : State::kNone;
  }
  // Removes a shortcut this run placed, logging `reason` first.
  void Unhook(RunServices& services, const char* reason, const std::string& tag) {
    if (state_ == State::kNone) return;
    RunLog(reason);
    services.UnhookReboot(tag);
    state_ = State::kNone;
  }
  void KeepForNextLogon() {
    if (state_ == State::kInPlace) state_ = State::kKept;
  }
  // The end of the run with `code`: a shortcut not kept goes, unless the
  // code tells of a restart under way, after which it goes on.
  void Finish(RunServices& services, uint32_t code, const std::string& intermediateTag, const std::string& finalTag) {
    if (state_ != State::kInPlace || code == kExitRebootInitiated || code == kExitIntermediateReboot) return;
    RunLog("Unhooking reboot due to error or normal exit");
    services.UnhookReboot(intermediateTag);
    services.UnhookReboot(finalTag);
    state_ = State::kNone;
  }

  bool InPlace() const { return state_ != State::kNone; }
  State Get() const { return state_; }
  // What an ending with a restart under way answers: 460393 promises that
  // the setup goes on after the restart, so only with a shortcut in place.
  uint32_t RestartUnderWayCode() const { return InPlace() ? kExitIntermediateReboot : kExitRebootInitiated; }

 private:
  std::atomic<State> state_{State::kNone};
};

}  // namespace kq
