#pragma once
// Deletion at the next restart of Windows, for a file or an empty folder
// that is in use now.
#include <windows.h>

#include <string>

namespace kq {

// Schedules a file or an empty folder for deletion at the next restart:
// MoveFileEx with MOVEFILE_DELAY_UNTIL_REBOOT, or, when that is missing or
// fails (the 9x family), a "NUL=<short path>" line in the [Rename] section
// of WININIT.INI in the Windows folder.
void LogForDeletion(const std::string& path);

// Test seam: replaces the MoveFileEx call that LogForDeletion makes
// through DeleteAtRestartByName; null stands for an entry point that is
// missing. Restore with RestoreMoveFileEx.
using MoveFileExFunction = BOOL(WINAPI*)(LPCSTR existingName, LPCSTR newName, DWORD flags);
void ReplaceMoveFileExForTesting(MoveFileExFunction function);
void RestoreMoveFileEx();

}  // namespace kq
