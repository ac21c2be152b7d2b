#pragma once
// The restart rules of one run, decided once from the parsed command line:
// whether restarts are suppressed, whether the command line gave the REBOOT
// property at all (then MSIEXEC's own restart handling is left to it), and
// what MSIEXEC's command line gets when this setup holds restarts back.
#include <string>

namespace kq {

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
  // setup when a nested setup follows: suppressed restarts, or the nested
  // setup's ONEREBOOT flag.
  bool MainRestartWaits(bool oneReboot) const { return RestartsSuppressed() || oneReboot; }
  // Appends what MSIEXEC's command line gets when its restart is to wait
  // (" REBOOT=S"), unless the command line set REBOOT itself.
  void AppendWaitingRestart(std::string& text, bool waits) const;

 private:
  RebootMode mode_ = RebootMode::kNone;
};

}  // namespace kq
