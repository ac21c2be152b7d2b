#pragma once
// Part of the wide/ANSI layer (sys/wide_ansi.h): starting a process, and the
// program's own path and command line.
#include <windows.h>

#include <string>

#include "sys/scoped_handle.h"

namespace kq {

// Starts a command line with no application name, no inheritance, the
// caller's environment and folder. Hands back the process handle (the
// thread handle is closed at once). The command line is converted whole, up
// to the system's own limit.
bool CreateProcessFromCommandLine(const std::string& commandLine, ScopedHandle& process);

// Who asks for the program's path; decides the log text when the wide entry
// point is missing.
enum class ModulePathCaller { kEngine, kRunSequence };
// The program's path; its short form when the long one has no ANSI form.
std::string GetProgramPath(ModulePathCaller caller);

// The program's command line, converted whole.
std::string GetProgramCommandLine();
// The process command line for finding its switches only (the quiet rule):
// GetProgramCommandLine's text, or, when the ANSI code page cannot hold the
// command line, the command line with every character outside ASCII read
// as "?", so its /qn still counts and no look-alike of a switch does.
std::string GetProgramSwitchText();

}  // namespace kq
