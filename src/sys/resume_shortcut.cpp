#include "sys/resume_shortcut.h"

#include <shlobj.h>

#include "sys/mbcs_path.h"
#include "sys/shell_link.h"
#include "sys/wide_ansi.h"

namespace kq {

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
    DeleteFileByName(path);
  }
  return CreateShellLink(owner, restartProgram, path, restartArguments, tag) ? 1 : 0;
}

int UnhookReboot(HWND owner, const std::string& tag) {
  const std::string path = ResumeShortcutPath(owner);
  if (path.empty()) return 0;
  std::string description;
  if (!ReadShellLink(owner, path, nullptr, nullptr, &description) || description != tag) return 0;
  DeleteFileByName(path);
  return 1;
}

}  // namespace kq
