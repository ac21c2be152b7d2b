#pragma once
// The 32-bit result of a run and the process exit code. Every ending of the
// run sequence is raised as a SetupExitCode and caught by CatchSetupExitCode:
// once around the whole run, at the top of the worker thread, and once more
// around the clean-up after it (RunSequence::Finish), so that a failure
// while the temporary copy is removed cannot replace the run's own code.
// Whatever else reaches either becomes kExitUnexpected. The checker catches
// it around a load of a data file too.
#include <cstdint>
#include <type_traits>

namespace kq {

class SetupExitCode {
 public:
  explicit constexpr SetupExitCode(uint32_t value) : value_(value) {}
  constexpr uint32_t Value() const { return value_; }

 private:
  uint32_t value_;
};

// Codes the run sequence produces itself (Windows error numbers).
constexpr uint32_t kExitSuccess = 0;
constexpr uint32_t kExitInvalidHandle = 6;                  // ERROR_INVALID_HANDLE
constexpr uint32_t kExitPrivilegeNotHeld = 1314;            // ERROR_PRIVILEGE_NOT_HELD
constexpr uint32_t kExitUserExit = 1602;                    // ERROR_INSTALL_USEREXIT
constexpr uint32_t kExitFailure = 1603;                     // ERROR_INSTALL_FAILURE
constexpr uint32_t kExitAlreadyRunning = 1618;              // ERROR_INSTALL_ALREADY_RUNNING
constexpr uint32_t kExitPlatformUnsupported = 1633;         // ERROR_INSTALL_PLATFORM_UNSUPPORTED
constexpr uint32_t kExitInvalidCommandLine = 1639;          // ERROR_INVALID_COMMAND_LINE
constexpr uint32_t kExitRebootInitiated = 1641;             // ERROR_SUCCESS_REBOOT_INITIATED
constexpr uint32_t kExitRebootRequired = 3010;              // ERROR_SUCCESS_REBOOT_REQUIRED
constexpr uint32_t kExitIntermediateReboot = 0x00070000u | kExitRebootInitiated;  // 460393
constexpr uint32_t kExitUnexpected = 0x8004FFFFu;

// Ends the run with `code`. Signed values (the sequence's own codes, HRESULTs
// held in a LONG) and unsigned ones (a child's DWORD exit code) are both
// taken modulo 2^32, so -1 and 0xFFFFFFFF end the run alike.
template <typename Integer>
[[noreturn]] void RaiseSetupExitCode(Integer code) {
  static_assert(std::is_integral<Integer>::value && sizeof(Integer) <= sizeof(uint32_t),
                "a setup exit code is a 32-bit integer");
  throw SetupExitCode(static_cast<uint32_t>(code));
}

// Runs `body`, which ends by raising a SetupExitCode, and returns that code.
// Any other exception, and a body that returns without raising (every path
// of the run sequence is meant to raise its ending), give kExitUnexpected.
template <typename Body>
uint32_t CatchSetupExitCode(Body&& body) noexcept {
  try {
    body();
  } catch (const SetupExitCode& ending) {
    return ending.Value();
  } catch (...) {
    return kExitUnexpected;
  }
  return kExitUnexpected;
}

}  // namespace kq
