#pragma once
// Part of the wide/ANSI layer (sys/wide_ansi.h): the system folders, and the
// system libraries from which the wide entry points are looked up.
#include <windows.h>

#include <string>

namespace kq {

// The system folder and the Windows folder with a trailing backslash, or
// empty (with the system's last error) when they cannot be read.
std::string SystemFolderPath();
std::string WindowsFolderPath();

// Loads a library of the system folder by full path (never from the
// program's or the current folder); null on any failure.
HMODULE LoadSystemLibrary(const char* library);

// Loads a system library (LoadSystemLibrary) and looks an entry point up by
// name. The library stays loaded. Null on any failure.
FARPROC GetProcFromLibrary(const char* library, const char* entryPoint);

// Number of GetProcFromLibrary calls in this process, for tests that show the
// 9x family never looks a wide entry point up.
unsigned long ProcLookupCount();

}  // namespace kq
