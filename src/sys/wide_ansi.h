#pragma once
// The family test, the code-page conversions, and every system call that
// takes or gives a file name, a command line or a shortcut's text.
//
// THE TEXT RULE. The program's narrow text is text in the ANSI code page
// (CP_ACP), on both families.
// - Where text enters: on the NT family the program's file name, its command
//   line and every wide result (names found in a folder, the temporary-files
//   folder, a shell folder, a temporary file name, a short path, a
//   shortcut's fields) are converted from wide text here with the ANSI code
//   page, exactly: a character the code page cannot hold is no result at
//   all (a found name then falls back to its short 8.3 name), never a "?" or
//   a look-alike that names another file. On the 9x family these come from
//   the ANSI calls and are ANSI text already. SETUP.INI is read as ANSI
//   text; a UTF-8 (with byte order mark) or UTF-16 file is converted to the
//   ANSI code page as it is loaded, and a character the code page cannot
//   hold is a load error naming its line. The registry, the environment,
//   the locale and the window texts are read through ANSI calls, which give
//   ANSI text.
// - Where it leaves: on the NT family every file, process and shell-link
//   call is the wide call made here, its narrow inputs converted to wide
//   text with the ANSI code page. Only calls that look something up and
//   cannot create, change or start anything under a wrong name (finding a
//   file, opening an existing file for reading, loading a shortcut, opening
//   a package to read it) try the OEM code page once more when the ANSI name
//   is not found. On the 9x family the ANSI functions are called directly.
// - In between: ANSI text everywhere: paths, the command line, SETUP.INI's
//   values, the mutex name, the resume shortcut's fields and the setup log,
//   which therefore reads correctly in an ordinary editor of the system.
// No ANSI file, process or shell-link call is made outside this layer;
// tools/check-sources.sh fails the tests when one appears.
#include <windows.h>
#include <objidl.h>
#include <shlobj.h>

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

// The code pages of the user's default locale, for the log.
uint32_t UserAnsiCodePage();
uint32_t UserOemCodePage();

// Conversions. The result, with its terminator, must fit in `bufferChars`
// characters; an input that does not fit, a null input, or any conversion
// failure gives an empty result. ToWideAnsi and ToNarrowAnsi use the ANSI
// code page the ANSI calls use (CP_ACP), ToWideOem the OEM one (CP_OEMCP).
// ToNarrowAnsi is exact: a character the ANSI code page cannot hold, or
// holds only through a look-alike, gives an empty result.
std::wstring ToWideAnsi(const char* text, size_t bufferChars = kPathBufferChars);
std::wstring ToWideOem(const char* text, size_t bufferChars = kPathBufferChars);
std::string ToNarrowAnsi(const wchar_t* text, size_t bufferChars = kPathBufferChars);

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

// --- Wrapped calls -------------------------------------------------------
// Each fails with the platform function's failure value and leaves the
// system's last error as the failing call set it (ERROR_NO_UNICODE_TRANSLATION
// when a wide result has no ANSI form, ERROR_PROC_NOT_FOUND or the loader's
// error when a wide entry point is missing).

bool DeleteFileByName(const std::string& fileName);
bool CreateFolderByName(const std::string& folder);
bool RemoveFolderByName(const std::string& folder);
bool CopyFileByName(const std::string& from, const std::string& to, bool failIfExists);
bool SetFileAttributesByName(const std::string& fileName, DWORD attributes);
// Renames a file; fails when `newName` exists.
bool MoveFileByName(const std::string& existingName, const std::string& newName);

// GetFileAttributes; INVALID_FILE_ATTRIBUTES when the name is not found
// (also by its OEM name).
DWORD FileAttributesByName(const std::string& fileName);

// CreateFile. An existing file opened only for reading is also tried by its
// OEM name.
ScopedFile OpenFileByName(const std::string& fileName, DWORD access, DWORD shareMode,
                          DWORD creation, DWORD flags);

// FindFirstFile and FindNextFile; `found` receives the ANSI name of the
// match, or its short name when the long one has no ANSI form. An entry
// with neither cannot be named by this program: it is passed over with a
// log line, and counted in `unnamed` when that is given.
ScopedFind FindFirstFileByName(const std::string& pattern, WIN32_FIND_DATAA& found, int* unnamed = nullptr);
bool FindNextFileByName(const ScopedFind& search, WIN32_FIND_DATAA& found, int* unnamed = nullptr);

// The user's temporary-files folder as the system gives it (with its
// trailing backslash), or empty.
std::string TempFolderPath();

// GetTempFileName: creates a new empty file named from `prefix` in
// `folder` and hands back its path.
bool CreateTempFileIn(const std::string& folder, const char* prefix, std::string& path);

// The short (8.3) form of an existing path, or empty.
std::string ShortPathOf(const std::string& path);

// MoveFileEx(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT). `available` is false
// when the system has no such entry point.
bool DeleteAtRestartByName(const std::string& path, bool& available);

// Starts a command line with no application name, no inheritance, the
// caller's environment and folder. Hands back the process handle (the
// thread handle is closed at once). The command line is converted whole, up
// to the system's own limit.
bool CreateProcessFromCommandLine(const std::string& commandLine, ScopedHandle& process);

// Who asks for the program's path; decides the log text when the wide entry
// point is missing.
enum class ModulePathCaller { Engine, RunSequence };
// The program's path; its short form when the long one has no ANSI form.
std::string GetProgramPath(ModulePathCaller caller);

// The program's command line, converted whole.
std::string GetProgramCommandLine();
// The process command line for finding its switches only (the quiet rule):
// GetProgramCommandLine's text, or, when the ANSI code page cannot hold the
// command line, the command line with every character outside ASCII read
// as "?", so its /qn still counts and no look-alike of a switch does.
std::string GetProgramSwitchText();

// File-system path of a shell item. S_OK, 0x80004005 when the call fails,
// 0x80070057 when the converted path is empty.
HRESULT GetPathFromIdList(const void* idList, std::string& path);

// Loads or saves a shortcut (or any file-backed COM object) through its
// persistence interface, which takes wide names on both families. Loading
// also tries the OEM name when the ANSI one fails.
HRESULT LoadPersistFile(IPersistFile* file, const std::string& fileName, DWORD mode);
HRESULT SavePersistFile(IPersistFile* file, const std::string& fileName, BOOL remember);

// The text fields of a shell link object. On the NT family they are set and
// read through the object's IShellLinkW, so that a path or an argument
// reaches the shortcut file as the characters it names; on the 9x family
// through the IShellLinkA given. Reads take up to MAX_PATH characters.
enum class ShellLinkField { Path, Arguments, Description };
HRESULT SetShellLinkText(IShellLinkA* link, ShellLinkField field, const std::string& text);
HRESULT GetShellLinkText(IShellLinkA* link, ShellLinkField field, std::string& text);

}  // namespace kq
