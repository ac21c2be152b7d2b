#pragma once
// Whether this process may install the Windows Installer engine. On the NT
// family the engine's redistributable replaces system files and registers
// a service, which only an administrator may do: a run that is not one is
// refused (1314) before the redistributable is started, rather than after
// it fails half-way. The 9x family has no such rights to ask for.
#include <windows.h>

namespace kq {

// Whether `token` (opened with TOKEN_QUERY) holds the Administrators group
// enabled: a group a restricted or filtered token keeps only to deny
// access with does not count. False when its groups cannot be read.
bool TokenIsAdministrator(HANDLE token);

// The 9x family: true. The NT family: whether the process token is an
// administrator's; true when the token cannot be opened at all, as then the
// redistributable itself is left to decide (logged).
bool MayInstallEngine();

}  // namespace kq
