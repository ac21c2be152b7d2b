#pragma once
// Who owns a file or folder: a folder in a temporary folder that every user
// can write (the system account's C:\Windows\Temp) is trusted only when the
// user who runs the setup made it.
#include <string>

namespace kq {

// Whether `path` is owned by the user this process runs as, or by the
// owner the user's token gives new objects (the Administrators group for
// an administrator). True on the 9x family, which has one user, and on a
// file system that keeps no owner (FAT); false when the owner cannot be read.
bool IsOwnedByThisUser(const std::string& path);

}  // namespace kq
