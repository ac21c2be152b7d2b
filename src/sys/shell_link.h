#pragma once
// Shortcut files through the shell's link object (IShellLinkA and its
// IPersistFile; the text fields go through sys/wide_ansi.h), created in-process: COM must be initialized on the calling
// thread. Failures show the shortcut error box (see ShowShortcutErrorBox)
// and return false; a missing file or one that cannot be loaded fails
// without a box.
#include <windows.h>

#include <cstdint>
#include <string>

namespace kq {

// Box codes of the shortcut operations.
enum ShortcutError : uint32_t {
  kShortcutStartupFolder = 1001,
  kShortcutShellAllocator = 1002,
  kShortcutCreateObject = 1005,
  kShortcutCreateFileInterface = 1006,
  kShortcutSetPath = 1007,
  kShortcutSetArguments = 1008,
  kShortcutSetDescription = 1009,
  kShortcutSave = 1010,
  kShortcutReadObject = 1011,
  kShortcutReadFileInterface = 1012,
  kShortcutResolve = 1013,
  kShortcutGetPath = 1014,
  kShortcutGetArguments = 1015,
  kShortcutGetDescription = 1016,
  kShortcutFindFunction = 1017,
};

// "Error Code: %04X.%08X" with the box code and the HRESULT or system error,
// caption "Internal Error", error icon, owned by `owner`. When the process
// command line asks for no UI (the switches the internal-error box obeys)
// the two texts go to the setup log instead: a box would block an
// unattended installation. The run goes on either way.
void ShowShortcutErrorBox(HWND owner, uint32_t code, uint32_t error);

// Writes the shortcut `linkPath` starting `target` with `arguments`,
// described by `description`.
bool CreateShellLink(HWND owner, const std::string& target, const std::string& linkPath,
                     const std::string& arguments, const std::string& description);

// Reads the fields asked for (null: not read), each up to MAX_PATH
// characters.
bool ReadShellLink(HWND owner, const std::string& linkPath, std::string* target, std::string* arguments,
                   std::string* description);

}  // namespace kq
