#pragma once
// The family test, the code-page queries and conversions, and the system calls
// that take text: on the NT family the wide entry point is looked up at run
// time and called with text converted from the OEM code page, then once more
// from the ANSI code page when that fails; on the 9x family the ANSI function
// is called directly.
#include <windows.h>
#include <objidl.h>

#include <cstdint>
#include <string>

#include "sys/scoped_handle.h"

namespace kq {

// Size of the conversion buffers for file names and paths, terminator included.
constexpr size_t kPathBufferChars = 260;
// Largest command line CreateProcess accepts, terminator included.
constexpr size_t kCommandLineChars = 32768;

bool IsWindowsNT();
// 1 (9x family) or 2 (NT family); 0 while the version query fails.
DWORD PlatformId();

uint32_t UserAnsiCodePage();
uint32_t UserOemCodePage();

// Conversions with the user's code pages. The result, with its terminator,
// must fit in `bufferChars` characters; an input that does not fit, a null
// input, or any conversion failure gives an empty result.
std::wstring ToWideAnsi(const char* text, size_t bufferChars = kPathBufferChars);
std::wstring ToWideOem(const char* text, size_t bufferChars = kPathBufferChars);
std::string ToNarrowOem(const wchar_t* text, size_t bufferChars = kPathBufferChars);

// The system folder with a trailing backslash, or empty (with the system's
// last error) when it cannot be read.
std::string SystemFolderPath();

// Loads a system library from the system folder by full path (never from the
// program's or the current folder) and looks an entry point up by name. The
// library stays loaded. Null on any failure.
FARPROC GetProcFromLibrary(const char* library, const char* entryPoint);

// Number of GetProcFromLibrary calls in this process, for tests that show the
// 9x family never looks a wide entry point up.
unsigned long ProcLookupCount();

// --- Wrapped calls -------------------------------------------------------

bool DeleteFileByName(const std::string& fileName);

ScopedFile OpenFileByName(const std::string& fileName, DWORD access, DWORD shareMode,
                          DWORD creation, DWORD flags);

// FindFirstFile; `found` receives the narrow name of the first match.
ScopedFind FindFirstFileByName(const std::string& pattern, WIN32_FIND_DATAA& found);

// Starts a command line with no application name, no inheritance, the
// caller's environment and folder. Hands back the process handle (the
// thread handle is closed at once). The command line is converted whole, up
// to the system's own limit.
bool CreateProcessFromCommandLine(const std::string& commandLine, ScopedHandle& process);

// Who asks for the program's path; decides the log text when the wide entry
// point is missing.
enum class ModulePathCaller { Engine, RunSequence };
std::string GetProgramPath(ModulePathCaller caller);

// The program's command line, converted whole.
std::string GetProgramCommandLine();

// File-system path of a shell item. S_OK, 0x80004005 when the call fails,
// 0x80070057 when the converted path is empty.
HRESULT GetPathFromIdList(const void* idList, std::string& path);

// Loads or saves a shortcut (or any file-backed COM object) through its
// persistence interface, which takes wide names on both families: the name
// is converted from the OEM code page, then from the ANSI one when the call
// fails. The result is the last call's.
HRESULT LoadPersistFile(IPersistFile* file, const std::string& fileName, DWORD mode);
HRESULT SavePersistFile(IPersistFile* file, const std::string& fileName, BOOL remember);

}  // namespace kq
