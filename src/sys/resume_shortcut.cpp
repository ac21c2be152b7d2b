#include "sys/resume_shortcut.h"

#include <shlobj.h>

#include "sys/com_ptr.h"
#include "sys/format.h"
#include "text/mbcs_path.h"
#include "sys/scoped_item_id_list.h"
#include "sys/setup_log.h"
#include "sys/shell_link.h"
#include "sys/deferred_deletion.h"
#include "sys/whole_file.h"
#include "sys/wide_ansi.h"
#include "text/ascii_text.h"

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

// A shortcut of ours is a few hundred bytes.
constexpr size_t kSavedShortcutLimit = 65536;

// The bytes of the last shortcut this process saved, and what it held.
struct SavedShortcut {
  std::string key;
  std::string bytes;
};

// A new file only: the path is free again once our shortcut was removed.
bool WriteNewFile(const std::string& path, const std::string& bytes) {
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
      ShowShortcutErrorBox(owner, kLocationShortcutShellAllocator, static_cast<uint32_t>(hr));
      folder.clear();
      return false;
    }
  }
  if (FAILED(error)) {
    ShowShortcutErrorBox(owner, kLocationShortcutStartupFolder, static_cast<uint32_t>(error));
    folder.clear();
    return false;
  }
  return true;
}

namespace {

// The Startup folder with a trailing backslash. One lookup per process: the
// shell answers through several calls, and a run asks about the shortcut up
// to a dozen times.
std::string StartupFolderPath(HWND owner) {
  static std::string found;
  if (!found.empty()) return found;
  std::string folder;
  if (!FindStartupFolder(owner, folder)) return std::string();
  AppendBackslash(folder);
  found = folder;
  return found;
}

// The shortcut name of slot `slot` (0 is the first name).
std::string SlotName(int slot) {
  if (slot == 0) return kResumeShortcutName;
  std::string name = kResumeShortcutName;
  return name.insert(name.size() - 4, Format(" (%d)", slot + 1));
}

struct Slot {
  std::string path;
  bool present = false;
  bool readable = false;
  std::string target;
  std::string description;
};

std::vector<Slot> ReadSlots(HWND owner) {
  std::vector<Slot> slots;
  const std::string folder = StartupFolderPath(owner);
  if (folder.empty()) return slots;
  for (int i = 0; i < kResumeShortcutSlots; ++i) {
    Slot slot;
    slot.path = JoinPath(folder, SlotName(i));
    slot.present = FileAttributesByName(slot.path) != INVALID_FILE_ATTRIBUTES;
    if (slot.present) slot.readable = ReadShellLink(owner, slot.path, &slot.target, nullptr, &slot.description);
    slots.push_back(slot);
  }
  return slots;
}

// A present shortcut that cannot be read starts nothing a setup can know
// of: its name is reused, as when it is missing.
ShortcutOwner OwnerOf(const Slot& slot, const ShortcutClassifier& classify) {
  if (!slot.present || !slot.readable) return ShortcutOwner::kNobody;
  return classify(slot.target, slot.description);
}

}  // namespace

std::string ResumeShortcutPath(HWND owner) {
  const std::string folder = StartupFolderPath(owner);
  return folder.empty() ? folder : JoinPath(folder, kResumeShortcutName);
}

std::string TagDataFile(const std::string& tag) {
  const size_t dot = tag.rfind('.');
  return dot == std::string::npos ? tag : tag.substr(0, dot);
}

ShortcutClassifier ClassifyByTag(const std::string& tag) {
  const std::string dataFile = TagDataFile(tag);
  return [dataFile](const std::string&, const std::string& description) {
    return EqualsNoCase(TagDataFile(description), dataFile) ? ShortcutOwner::kThisSetup
                                                            : ShortcutOwner::kAnotherSetup;
  };
}

bool ReadResumeShortcutTargets(HWND owner, std::vector<std::string>& targets) {
  targets.clear();
  if (StartupFolderPath(owner).empty()) return false;
  bool known = true;
  for (const Slot& slot : ReadSlots(owner)) {
    if (!slot.present) continue;
    if (!slot.readable) known = false;
    if (!slot.target.empty()) targets.push_back(slot.target);
  }
  return known;
}

bool HookReboot(HWND owner, const std::string& tag, const std::string& restartProgram,
                const std::string& restartArguments, const ShortcutClassifier& classify) {
  const std::vector<Slot> slots = ReadSlots(owner);
  if (slots.empty()) return false;
  // This setup's own shortcut keeps its name; a second one of its own (left
  // by a cut-off run) goes. Otherwise the first name nobody holds.
  const Slot* chosen = nullptr;
  for (const Slot& slot : slots) {
    if (OwnerOf(slot, classify) != ShortcutOwner::kThisSetup) continue;
    RemoveShortcutFile(slot.path);
    if (chosen == nullptr) chosen = &slot;
  }
  for (size_t i = 0; chosen == nullptr && i < slots.size(); ++i) {
    if (OwnerOf(slots[i], classify) == ShortcutOwner::kNobody) chosen = &slots[i];
  }
  if (chosen == nullptr) {
    SetupLogF("Every resume shortcut name is taken by other setups; \"%s\" is not placed", tag.c_str());
    return false;
  }
  const std::string& path = chosen->path;
  if (chosen->present && chosen->readable && OwnerOf(*chosen, classify) == ShortcutOwner::kNobody)
    RemoveShortcutFile(path);
  // The shell's save of a link also runs its link processor (under Wine the
  // menu builder, a process of its own): a shortcut with the contents this
  // run saved before is written again from its bytes.
  static SavedShortcut saved;
  const std::string key = path + '\n' + tag + '\n' + restartProgram + '\n' + restartArguments;
  if (saved.key == key && WriteNewFile(path, saved.bytes)) return true;
  if (!CreateShellLink(owner, restartProgram, path, restartArguments, tag)) return false;
  const bool read = ReadWholeFile(path, kSavedShortcutLimit, saved.bytes) == WholeFileRead::kRead && !saved.bytes.empty();
  saved.key = read ? key : std::string();
  return true;
}

bool UnhookReboot(HWND owner, const std::string& tag, const ShortcutClassifier& classify) {
  bool removed = false;
  for (const Slot& slot : ReadSlots(owner)) {
    // Case-sensitive: the tag is ours exactly or it says something else.
    if (slot.description != tag || OwnerOf(slot, classify) != ShortcutOwner::kThisSetup) continue;
    RemoveShortcutFile(slot.path);
    removed = true;
  }
  return removed;
}

}  // namespace kq
