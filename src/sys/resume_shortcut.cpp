#include "sys/resume_shortcut.h"

#include <shlobj.h>

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
    DeleteShortcutFile(path);
  }
  return CreateShellLink(owner, restartProgram, path, restartArguments, tag) ? 1 : 0;
}

int UnhookReboot(HWND owner, const std::string& tag) {
  const std::string path = ResumeShortcutPath(owner);
  if (path.empty()) return 0;
  std::string description;
  if (!ReadShellLink(owner, path, nullptr, nullptr, &description) || description != tag) return 0;
  // A shortcut that stays would start the setup again at the next logon:
  // what cannot be deleted now goes before that logon.
  if (!DeleteShortcutFile(path)) LogForDeletion(path);
  return 1;
}

}  // namespace kq
