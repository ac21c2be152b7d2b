#pragma once
// Restarting Windows and resuming the setup after it. The restart rules of
// one run, decided once from the parsed command line: whether restarts are
// suppressed, whether the command line gave the REBOOT property at all (then
// MSIEXEC's own restart handling is left to it), whether the main
// installation's restart waits for the end of the setup, and what MSIEXEC's
// command line gets then; and the arguments the resume shortcut starts the
// setup with. Free of <windows.h>, so that they are checked natively.
#include <string>

namespace kq {

enum class TempCopyState;  // config/setup_command_line.h

// The REBOOT property's name: the one place it is spelled.
constexpr char kRebootProperty[] = "REBOOT";

// The REBOOT property's value by its first letter (either case), as Windows
// Installer reads it, or "" (two quote characters).
enum class RebootMode { kNone, kForce, kSuppress, kReallySuppress, kEmpty };

// The mode of a REBOOT value; false for a value Windows Installer refuses.
bool ReadRebootMode(const std::string& value, RebootMode& mode);

class RestartPolicy {
 public:
  RestartPolicy() = default;
  explicit RestartPolicy(RebootMode mode) : mode_(mode) {}

  // REBOOT=Suppress or ReallySuppress (/norestart): no reboot code of a
  // child makes this setup restart Windows; a restart that is needed ends
  // the run with 3010.
  bool RestartsSuppressed() const { return mode_ == RebootMode::kSuppress || mode_ == RebootMode::kReallySuppress; }
  // The command line set REBOOT, whatever its value: the engine's own
  // restart handling is left to that value.
  bool RebootGiven() const { return mode_ != RebootMode::kNone; }
  RebootMode Mode() const { return mode_; }

  // Whether the main installation's restart waits for the end of the whole
  // setup: suppressed restarts, or, when a nested setup follows, its
  // ONEREBOOT flag (false without one).
  bool MainRestartWaits(bool oneReboot) const { return RestartsSuppressed() || oneReboot; }
  // Appends what MSIEXEC's command line gets when its restart is to wait
  // (" REBOOT=S"), unless the command line set REBOOT itself.
  void AppendWaitingRestart(std::string& text, bool waits) const;

 private:
  RebootMode mode_ = RebootMode::kNone;
};

// The arguments a restarted setup receives from the resume shortcut. Text
// without "/~" gets the marker of the copy's state appended (" /~" running
// from the copy, " /~-" for none, nothing when no copy was tried); when the
// first "/~" is the start of "/~-", that "-" becomes a space, so the
// restarted setup sees "/~" and removes the copy it runs from.
std::string MakeRestartArguments(const std::string& argumentText, TempCopyState state);

}  // namespace kq
