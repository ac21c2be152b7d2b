#include "sys/resume_shortcut.h"

#include <shlobj.h>

#include "sys/format.h"
#include "sys/mbcs_path.h"
#include "sys/setup_log.h"
#include "sys/shell_link.h"
#include "sys/temp_folder.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

// A new shortcut in the Startup folder is opened at once by others (the
// shell, a virus scanner; under Wine its menu builder), so a deletion right
// after a save can meet a sharing violation: it is retried for up to two
// seconds.
bool DeleteShortcutFile(const std::string& path) {
  for (int attempt = 0;; ++attempt) {
    if (DeleteFileByName(path)) return true;
    const DWORD error = GetLastError();
    if (attempt == 20 || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)) {
      SetupLogF("Failed to delete file: \"%s\", Error code = 0x%08X", path.c_str(), static_cast<unsigned>(error));
      return false;
    }
    Sleep(100);
  }
}

// Renames the shortcut to "<path>.<number>.old", a name no file has. The
// extension is no shortcut's, so the shell does not start it at a logon
// should it outlive the next restart.
bool MoveAside(const std::string& path, std::string& aside) {
  const DWORD seed = GetTickCount() ^ (GetCurrentProcessId() << 16);
  for (DWORD n = 0; n < 100; ++n) {
    aside = Format("%s.%08X.old", path.c_str(), static_cast<unsigned>(seed + n));
    if (MoveFileByName(path, aside)) return true;
    const DWORD error = GetLastError();
    if (error != ERROR_ALREADY_EXISTS && error != ERROR_FILE_EXISTS) break;
  }
  return false;
}

// Removes our shortcut at the shared path. What cannot be deleted is never
// scheduled for deletion under the shared path itself: another setup (or
// this one) may put a new shortcut there before the restart, and that one
// must survive it. It is moved aside under a name of its own, which is then
// deleted or, failing that, scheduled.
void RemoveShortcutFile(const std::string& path) {
  if (DeleteShortcutFile(path)) return;
  std::string aside;
  if (!MoveAside(path, aside)) {
    SetupLogF("Failed to move \"%s\" aside, Error code = 0x%08X; it stays", path.c_str(),
              static_cast<unsigned>(GetLastError()));
    return;
  }
  SetupLogF("Moved \"%s\" to \"%s\"", path.c_str(), aside.c_str());
  // The copy aside is ours alone: a read-only attribute does not keep it.
  SetFileAttributesByName(aside, FILE_ATTRIBUTE_NORMAL);
  if (!DeleteFileByName(aside)) {
    SetupLogF("Failed to delete file: \"%s\", Error code = 0x%08X", aside.c_str(),
              static_cast<unsigned>(GetLastError()));
    LogForDeletion(aside);
  }
}

}  // namespace

bool FindStartupFolder(HWND owner, std::string& folder) {
  folder.clear();
  LPITEMIDLIST idList = nullptr;
  HRESULT error = SHGetSpecialFolderLocation(owner, CSIDL_STARTUP, &idList);
  if (SUCCEEDED(error)) error = GetPathFromIdList(idList, folder);
  if (idList != nullptr) {
    IMalloc* allocator = nullptr;
    const HRESULT hr = SHGetMalloc(&allocator);
    if (FAILED(hr) || allocator == nullptr) {
      ShowShortcutErrorBox(owner, kShortcutShellAllocator, static_cast<uint32_t>(hr));
      folder.clear();
      return false;
    }
    allocator->Free(idList);
    allocator->Release();
  }
  if (FAILED(error)) {
    ShowShortcutErrorBox(owner, kShortcutStartupFolder, static_cast<uint32_t>(error));
    folder.clear();
    return false;
  }
  return true;
}

std::string ResumeShortcutPath(HWND owner) {
  std::string path;
  if (!FindStartupFolder(owner, path)) return std::string();
  AppendBackslash(path);
  return path + kResumeShortcutName;
}

int HookReboot(HWND owner, const std::string& tag, const std::string& restartProgram,
               const std::string& restartArguments) {
  const std::string path = ResumeShortcutPath(owner);
  if (path.empty()) return 0;
  std::string description;
  if (ReadShellLink(owner, path, nullptr, nullptr, &description)) {
    // Case-sensitive: the tag is ours exactly or it belongs to another setup.
    if (description != tag) return 0;
    RemoveShortcutFile(path);
  }
  return CreateShellLink(owner, restartProgram, path, restartArguments, tag) ? 1 : 0;
}

int UnhookReboot(HWND owner, const std::string& tag) {
  const std::string path = ResumeShortcutPath(owner);
  if (path.empty()) return 0;
  std::string description;
  if (!ReadShellLink(owner, path, nullptr, nullptr, &description) || description != tag) return 0;
  RemoveShortcutFile(path);
  return 1;
}

}  // namespace kq
