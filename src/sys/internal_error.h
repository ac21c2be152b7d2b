#pragma once
// The one way a component gives up on an impossible situation: log it, tell
// the user (unless the command line asks for a quiet UI), and end the run
// with the HRESULT as the setup exit code.
#include <cstdint>
#include <string>

#include "sys/internal_error_codes.h"
#include "sys/quiet_ui.h"
#include "sys/run_platform.h"

namespace kq {

// Records `owner` as the owner of later internal-error boxes (the engine
// registers its dialog). Written before the worker starts.
void SetInternalErrorOwner(WindowHandle owner);

// Location 0 with code 0 and a window is SetInternalErrorOwner and returns.
// Every other call ends the run (raises a SetupExitCode with `hresult`)
// after ReportInternalError. The `owner` of a call that ends the run is not
// used.
void RaiseInternalError(uint32_t location, uint32_t hresult, WindowHandle owner);

// The form used by components, which never register an owner.
[[noreturn]] void RaiseInternalError(uint32_t location, uint32_t hresult);

// Logs "Internal Error" and "Error Code: %04X.%08X", then shows the same
// texts in a box owned by the recorded window unless the process command
// line is quiet (QuietCommandLine). For an ending whose exit code is not the
// HRESULT itself.
void ReportInternalError(uint32_t location, uint32_t hresult);

// The internal-error box for a failure the run goes on from (a resume
// shortcut that cannot be written or read): owned by `owner`. A quiet
// command line logs its two texts instead: a box would block an unattended
// installation.
void ShowInternalErrorBox(WindowHandle owner, uint32_t location, uint32_t hresult);

// "Error Code: 0001.80040065": the box's English body, as the setup log
// writes it on an English system and as the checker quotes it.
std::string InternalErrorCodeText(uint32_t location, uint32_t hresult);

// The body of the box, formatted from the template of message 3.
std::string FormatInternalErrorText(const std::string& messageTemplate, uint32_t location,
                                    uint32_t hresult);

// The owner SetInternalErrorOwner recorded (null until then).
WindowHandle InternalErrorOwner();

}  // namespace kq
