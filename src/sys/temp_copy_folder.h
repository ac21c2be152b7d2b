#pragma once
// Which folders the setup may delete at the end of a run: only a temporary
// copy it made itself. The temp-copy marker also arrives from the command
// line (" /~"), which anyone can type, so the marker alone must never make
// the folder the program was started from (a Downloads folder, a network
// share) look like a copy to delete. Portable: no <windows.h>.
#include <string>

namespace kq {

// True when `folder` (a trailing backslash is allowed) is named "KIES" and
// four hexadecimal digits and lies directly inside `tempFolder` (the
// temporary-files folder, with or without its trailing backslash). Letters
// compare without regard to case; multibyte characters compare exactly.
bool IsTempCopyFolder(const std::string& folder, const std::string& tempFolder, unsigned codePage = 0);

}  // namespace kq
