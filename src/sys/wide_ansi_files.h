#pragma once
// Part of the wide/ANSI layer (sys/wide_ansi.h): the file, folder and find
// calls, the temporary-files folder and the deletion at restart.
//
// Each fails with the platform function's failure value and leaves the
// system's last error as the failing call set it (ERROR_NO_UNICODE_TRANSLATION
// when a wide result has no ANSI form, ERROR_PROC_NOT_FOUND or the loader's
// error when a wide entry point is missing). The same holds for the wrapped
// calls of wide_ansi_process.h and wide_ansi_shell.h.
#include <windows.h>

#include <string>

#include "sys/scoped_handle.h"

namespace kq {

bool DeleteFileByName(const std::string& fileName);
bool CreateFolderByName(const std::string& folder);
bool RemoveFolderByName(const std::string& folder);
bool CopyFileByName(const std::string& from, const std::string& to, bool failIfExists);
bool SetFileAttributesByName(const std::string& fileName, DWORD attributes);
// Renames a file; fails when `newName` exists.
bool MoveFileByName(const std::string& existingName, const std::string& newName);

// Moves a file over another in one step where the system can
// (MoveFileEx with MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH on
// the NT family); the 9x family, which has no MoveFileEx, deletes
// `newName` and then renames.
bool ReplaceFileByName(const std::string& existingName, const std::string& newName);

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

// The bytes free for this user on the drive that holds the existing folder
// `folder`: GetDiskFreeSpaceEx, or GetDiskFreeSpaceA of the drive's root on
// the first Windows 95, which has no Ex entry point (and drives of at most
// 2 GB, which its answer covers).
bool DiskFreeSpaceByName(const std::string& folder, unsigned long long& freeBytes);

// The short (8.3) form of an existing path, or empty.
std::string ShortPathOf(const std::string& path);

// MoveFileEx(path, NULL, MOVEFILE_DELAY_UNTIL_REBOOT). `available` is false
// when the system has no such entry point.
bool DeleteAtRestartByName(const std::string& path, bool& available);

}  // namespace kq
