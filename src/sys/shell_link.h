#pragma once
// Shortcut files through the shell's link object (IShellLinkA and its
// IPersistFile; the text fields go through sys/wide_ansi.h), created in-process: COM must be initialized on the calling
// thread. Failures show the internal-error box (ShowShortcutErrorBox); a
// missing file or one that cannot be loaded fails without a box.
#include <windows.h>

#include <cstdint>
#include <string>

#include "sys/internal_error_codes.h"

namespace kq {

// Shows the internal-error box for a shortcut operation that failed at
// `location` (one of the kLocationShortcut* names) with `error` (an HRESULT
// or a system error number); see ShowInternalErrorBox. The run goes on.
void ShowShortcutErrorBox(HWND owner, uint32_t location, uint32_t error);

// Writes the shortcut `linkPath` starting `target` with `arguments`,
// described by `description`; the shell writes the file itself, unflushed.
bool CreateShellLink(HWND owner, const std::string& target, const std::string& linkPath,
                     const std::string& arguments, const std::string& description);

// Reads the fields asked for (null: not read), each up to MAX_PATH
// characters. S_OK, or why the shortcut could not be read: the failing
// call's HRESULT (HRESULT_FROM_WIN32(ERROR_FILE_NOT_FOUND) for a missing
// file), so that a caller can name it.
HRESULT ReadShellLink(HWND owner, const std::string& linkPath, std::string* target, std::string* arguments,
                      std::string* description);

}  // namespace kq
