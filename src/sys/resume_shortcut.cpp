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
// shell, a virus scanner; under Wine its menu builder), so a deletion,
// flush or rename right after a save can meet a sharing violation: `call`
// is retried for up to two seconds. The last error stays the call's.
template <typename Call>
bool RetryWhileInUse(Call call) {
  for (int attempt = 0;; ++attempt) {
    if (call()) return true;
    const DWORD error = GetLastError();
    if (attempt == 20 || (error != ERROR_SHARING_VIOLATION && error != ERROR_ACCESS_DENIED)) {
      SetLastError(error);
      return false;
    }
    Sleep(100);
  }
}

bool DeleteShortcutFile(const std::string& path) {
  if (RetryWhileInUse([&] { return DeleteFileByName(path); })) return true;
  SetupLogF("Failed to delete file: \"%s\", Error code = 0x%08X", path.c_str(), static_cast<unsigned>(GetLastError()));
  return false;
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

// A shortcut is written under this name beside its own, flushed, and only
// then moved over its own name: a power cut leaves the old shortcut or the
// new one whole, never a torn one (the shell's save writes the file and
// does not flush it). The name does not end in ".lnk", so a logon that
// finds it left over by a cut does not start it; the next hook removes it.
std::string TemporaryName(const std::string& path) { return path + ".new"; }

bool FlushFileByName(const std::string& path) {
  ScopedFile file =
      OpenFileByName(path, GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL);
  return file.IsValid() && FlushFileBuffers(file.Get());
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
  bool folder = false;  // a folder of that name: no shortcut, and not ours to touch
  HRESULT read = S_OK;  // why a present shortcut could not be read
  std::string target;
  std::string description;
  bool Readable() const { return present && !folder && SUCCEEDED(read); }
};

std::vector<Slot> ReadSlots(HWND owner) {
  std::vector<Slot> slots;
  const std::string folder = StartupFolderPath(owner);
  if (folder.empty()) return slots;
  for (int i = 0; i < kResumeShortcutSlots; ++i) {
    Slot slot;
    slot.path = JoinPath(folder, SlotName(i));
    const DWORD attributes = FileAttributesByName(slot.path);
    slot.present = attributes != INVALID_FILE_ATTRIBUTES;
    slot.folder = slot.present && (attributes & FILE_ATTRIBUTE_DIRECTORY) != 0;
    if (slot.folder) {
      SetupLogF("Leaving \"%s\" alone: it is a folder, not a resume shortcut", slot.path.c_str());
    } else if (slot.present) {
      slot.read = ReadShellLink(owner, slot.path, &slot.target, nullptr, &slot.description);
      // A torn or empty shortcut (a power cut while it was written) starts
      // nothing: it is no setup's resume.
      if (FAILED(slot.read)) {
        slot.target.clear();
        slot.description.clear();
        SetupLogF("Skipping the resume shortcut \"%s\": it cannot be read (0x%08X), so it starts no setup",
                  slot.path.c_str(), static_cast<unsigned>(slot.read));
      }
    }
    slots.push_back(slot);
  }
  return slots;
}

// A present shortcut that cannot be read starts nothing a setup can know
// of: its name is reused, as when it is missing.
ShortcutOwner OwnerOf(const Slot& slot, const ShortcutClassifier& classify) {
  if (slot.folder) return ShortcutOwner::kAnotherSetup;
  if (!slot.Readable()) return ShortcutOwner::kNobody;
  return classify(slot.target, slot.description);
}

// What a cut left of an earlier write (see TemporaryName) goes.
void RemoveLeftoverTemporaries(const std::vector<Slot>& slots) {
  for (const Slot& slot : slots) {
    const std::string temporary = TemporaryName(slot.path);
    if (FileAttributesByName(temporary) == INVALID_FILE_ATTRIBUTES) continue;
    if (DeleteShortcutFile(temporary))
      SetupLogF("Removed \"%s\", left over from a shortcut that was being written", temporary.c_str());
  }
}

// Writes the shortcut under its temporary name, flushes it and moves it over
// `path`, replacing what is there. Failures show the box of a failed save.
bool PlaceShortcut(HWND owner, const std::string& path, const std::string& tag, const std::string& restartProgram,
                   const std::string& restartArguments) {
  const std::string temporary = TemporaryName(path);
  // The shell's save of a link also runs its link processor (under Wine the
  // menu builder, a process of its own): a shortcut with the contents this
  // run saved before is written again from its bytes.
  static SavedShortcut saved;
  const std::string key = path + '\n' + tag + '\n' + restartProgram + '\n' + restartArguments;
  if (saved.key != key || !WriteWholeFileThrough(temporary, saved.bytes)) {
    saved.key.clear();
    if (!CreateShellLink(owner, restartProgram, temporary, restartArguments, tag)) return false;
    if (!RetryWhileInUse([&] { return FlushFileByName(temporary); })) {
      ShowShortcutErrorBox(owner, kLocationShortcutSave, HresultFromWin32(GetLastError()));
      DeleteShortcutFile(temporary);
      return false;
    }
    if (ReadWholeFile(temporary, kSavedShortcutLimit, saved.bytes) == WholeFileRead::kRead && !saved.bytes.empty())
      saved.key = key;
  }
  if (RetryWhileInUse([&] { return ReplaceFileByName(temporary, path); })) return true;
  // What is there cannot be replaced (read-only, say): it is removed, or
  // moved aside, first.
  const DWORD error = GetLastError();
  if (FileAttributesByName(path) != INVALID_FILE_ATTRIBUTES) RemoveShortcutFile(path);
  if (ReplaceFileByName(temporary, path)) return true;
  ShowShortcutErrorBox(owner, kLocationShortcutSave, HresultFromWin32(error));
  DeleteShortcutFile(temporary);
  return false;
}

}  // namespace

std::string ResumeShortcutPath(HWND owner) {
  const std::string folder = StartupFolderPath(owner);
  return folder.empty() ? folder : JoinPath(folder, kResumeShortcutName);
}

bool ReadResumeShortcutTargets(HWND owner, std::vector<std::string>& targets) {
  targets.clear();
  if (StartupFolderPath(owner).empty()) return false;
  for (const Slot& slot : ReadSlots(owner)) {
    if (slot.Readable() && !slot.target.empty()) targets.push_back(slot.target);
  }
  return true;
}

bool HookReboot(HWND owner, const std::string& tag, const std::string& restartProgram,
                const std::string& restartArguments, const ShortcutClassifier& classify) {
  const std::vector<Slot> slots = ReadSlots(owner);
  if (slots.empty()) return false;
  RemoveLeftoverTemporaries(slots);
  // This setup's own shortcut keeps its name (and is replaced in one step);
  // a second one of its own (left by a cut-off run) goes. Otherwise the
  // first name nobody holds.
  const Slot* chosen = nullptr;
  for (const Slot& slot : slots) {
    if (OwnerOf(slot, classify) != ShortcutOwner::kThisSetup) continue;
    if (chosen == nullptr) {
      chosen = &slot;
    } else {
      RemoveShortcutFile(slot.path);
    }
  }
  for (size_t i = 0; chosen == nullptr && i < slots.size(); ++i) {
    if (OwnerOf(slots[i], classify) == ShortcutOwner::kNobody) chosen = &slots[i];
  }
  if (chosen == nullptr) {
    SetupLogF("No resume shortcut name is free in \"%s\": the setup cannot go on by itself after a restart",
              FolderOf(slots.front().path).c_str());
    SetupLogF("Every resume shortcut name is taken by other setups; \"%s\" is not placed", tag.c_str());
    return false;
  }
  return PlaceShortcut(owner, chosen->path, tag, restartProgram, restartArguments);
}

bool HasResumeShortcut(HWND owner, const ShortcutClassifier& classify) {
  for (const Slot& slot : ReadSlots(owner)) {
    if (OwnerOf(slot, classify) == ShortcutOwner::kThisSetup) return true;
  }
  return false;
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
