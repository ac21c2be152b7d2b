#pragma once
// Starting the programs the setup hands its work to (the Windows Installer
// redistributable, MSIEXEC, a nested SETUP.EXE, uninstallers, post-install
// applications) and waiting for them while watching for a reboot: either
// the child reports one through its exit code, or Windows starts ending the
// session while it runs (the progress dialog then sets the end-session event).
#include <windows.h>

#include <cstdint>
#include <string>

#include "sys/scoped_handle.h"

namespace kq {

// Exit codes of a child that count as a reboot: initiated, required, and the
// intermediate reboot of a setup of this kind.
bool IsRebootExitCode(uint32_t exitCode);

// Whether the start writes the line "Command Line = %s" first. Every
// launcher does, except the post-install applications.
enum class CommandLineLogging { Log, Silent };

// Starts a command line (no application name, no inheritance, the setup's
// own environment and folder) and hands back the process handle; the thread
// handle is closed at once. On the NT family the command line is converted
// with the ANSI code page, as all of the setup's narrow text is, and started
// with CreateProcessW; on the 9x family it goes to CreateProcessA as it is.
// The whole command line is started, up to the operating
// system's own limit of 32767 characters; a longer one fails to start.
// False when the start failed, including a missing CreateProcessW (logged).
bool StartChildProcess(const std::string& commandLine, CommandLineLogging logging, ScopedHandle& process);

// Waits until `process` (may be null) ends or `endSessionEvent` is set, then,
// with `waitFiveSeconds`, up to five more seconds for the end-session event.
// True when a reboot was detected. `exitCode` (may be null)
// receives the child's exit code when it was read; with no slot, an exit
// code that is neither 0 nor a reboot code ends the run with that code.
bool WaitForChildOrReboot(HANDLE process, HANDLE endSessionEvent, bool waitFiveSeconds, uint32_t* exitCode);

}  // namespace kq
