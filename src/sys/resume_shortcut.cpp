#include "sys/resume_shortcut.h"

#include <shlobj.h>

#include "sys/com_ptr.h"
#include "sys/format.h"
#include "text/mbcs_path.h"
#include "sys/scoped_item_id_list.h"
#include "sys/setup_log.h"
#include "sys/shell_link.h"
#include "sys/deferred_deletion.h"
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

// The bytes of the last shortcut this process saved, and what it held.
struct SavedShortcut {
  std::string key;
  std::string bytes;
};

bool ReadWholeFile(const std::string& path, std::string& bytes) {
  ScopedFile file = OpenFileByName(path, GENERIC_READ, FILE_SHARE_READ, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  if (!file.IsValid()) return false;
  const DWORD size = GetFileSize(file.Get(), nullptr);
  if (size == INVALID_FILE_SIZE || size == 0 || size > 65536) return false;
  bytes.assign(size, '\0');
  DWORD read = 0;
  return ReadFile(file.Get(), &bytes[0], size, &read, nullptr) && read == size;
}

// A new file only: the path is free again once our shortcut was removed.
bool WriteWholeFile(const std::string& path, const std::string& bytes) {
  ScopedFile file = OpenFileByName(path, GENERIC_WRITE, 0, CREATE_NEW, FILE_ATTRIBUTE_NORMAL);
  if (!file.IsValid()) return false;
  DWORD written = 0;
  if (WriteFile(file.Get(), bytes.data(), static_cast<DWORD>(bytes.size()), &written, nullptr) &&
      written == bytes.size()) {
    return true;
  }
  file.Close();
  DeleteFileByName(path);
  return false;
}

}  // namespace

bool FindStartupFolder(HWND owner, std::string& folder) {
  folder.clear();
  ScopedItemIdList idList;
  HRESULT error = SHGetSpecialFolderLocation(owner, CSIDL_STARTUP, idList.Receive());
  if (SUCCEEDED(error)) error = GetPathFromIdList(idList.Get(), folder);
  if (idList) {
    // The list goes back to the shell's allocator (ScopedItemIdList); one
    // that cannot be had is told as before, and the list is freed all the same.
    ComPtr<IMalloc> allocator;
    const HRESULT hr = SHGetMalloc(allocator.Receive());
    if (FAILED(hr) || !allocator) {
      ShowShortcutErrorBox(owner, kShortcutShellAllocator, static_cast<uint32_t>(hr));
      folder.clear();
      return false;
    }
  }
  if (FAILED(error)) {
    ShowShortcutErrorBox(owner, kShortcutStartupFolder, static_cast<uint32_t>(error));
    folder.clear();
    return false;
  }
  return true;
}

std::string ResumeShortcutPath(HWND owner) {
  // One lookup per process: the shell answers through several calls, and
  // a run asks about the shortcut up to a dozen times.
  static std::string found;
  if (!found.empty()) return found;
  std::string folder;
  if (!FindStartupFolder(owner, folder)) return std::string();
  AppendBackslash(folder);
  found = folder + kResumeShortcutName;
  return found;
}

bool ReadResumeShortcutTarget(HWND owner, std::string& target) {
  target.clear();
  const std::string path = ResumeShortcutPath(owner);
  if (path.empty()) return false;
  if (FileAttributesByName(path) == INVALID_FILE_ATTRIBUTES) return true;
  return ReadShellLink(owner, path, &target, nullptr, nullptr);
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
  // The shell's save of a link also runs its link processor (under Wine the
  // menu builder, a process of its own): a shortcut with the contents this
  // run saved before is written again from its bytes.
  static SavedShortcut saved;
  const std::string key = tag + '\n' + restartProgram + '\n' + restartArguments;
  if (saved.key == key && WriteWholeFile(path, saved.bytes)) return 1;
  if (!CreateShellLink(owner, restartProgram, path, restartArguments, tag)) return 0;
  saved.key = ReadWholeFile(path, saved.bytes) ? key : std::string();
  return 1;
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
