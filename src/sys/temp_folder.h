#pragma once
// The temporary copy of the setup and deferred deletion: a fresh folder
// "KIESxxxx" under the user's temporary-files folder, a file-by-file copy of
// a folder tree into it, the deletion of a tree, and the scheduling of what
// cannot be deleted now for the next restart of Windows. Every failure is
// logged and goes no further. Paths are ANSI text (see sys/wide_ansi.h) of
// at most MAX_PATH characters; anything longer is skipped with a log line.
#include <windows.h>

#include <string>

namespace kq {

// Creates "<temp>KIES%04X" (at most 99 names tried) and hands back its path
// with a trailing backslash. The temporary-files folder itself is created
// when it is missing.
bool CreateTempFolder(std::string& path);

// Copies every file and folder of `source` into `target` (both ending with a
// backslash), refusing to overwrite an existing file and skipping folders
// whose names begin with "." and folders that are reparse points (links and
// junctions, with a log line; a file link is copied as the file it points
// to). Fails at the first file or folder that cannot
// be copied.
bool CopyFolderTree(const std::string& source, const std::string& target);

// Adds up the sizes of the files CopyFolderTree would copy from `source`
// (ending with a backslash), stopping as soon as the sum passes `limit`:
// true when the whole tree fits within it. `counted` receives the sum so
// far, which is the tree's size when true.
bool FolderTreeFitsWithin(const std::string& source, unsigned long long limit, unsigned long long& counted);

// Deletes everything inside `folder` (ending with a backslash): read-only,
// hidden and system attributes are reset first, folders whose names begin
// with "." are left alone, and what cannot be deleted is scheduled through
// LogForDeletion. A reparse point (junction or symbolic link) is removed
// itself; what it points to is never touched.
void DeleteFolderContents(const std::string& folder);

// Schedules a file or an empty folder for deletion at the next restart:
// MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT, or, when that is missing or
// fails (the 9x family), a "NUL=<short path>" line in the [Rename] section
// of WININIT.INI in the Windows folder.
void LogForDeletion(const std::string& path);

// Test seam: replaces the MoveFileEx call that LogForDeletion makes
// through DeleteAtRestartByName; null stands for an entry point that is
// missing. Restore
// with RestoreMoveFileEx.
using MoveFileExFunction = BOOL(WINAPI*)(LPCSTR existingName, LPCSTR newName, DWORD flags);
void ReplaceMoveFileExForTesting(MoveFileExFunction function);
void RestoreMoveFileEx();

}  // namespace kq
