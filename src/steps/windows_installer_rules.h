#pragma once
// The portable rules of the Windows Installer bootstrap: which
// redistributable the medium carries for a Windows family, when it runs
// silently, where it is downloaded from, the progress bar's position and
// the digest a download must have. The steps themselves are in
// windows_installer_bootstrap.cpp.
#include <cstdint>
#include <string>

#include "steps/windows_family.h"

namespace kq {

// "\"<setupFolder>INS9XMSI.EXE\"" or "\"<setupFolder>INSNTMSI.EXE\""; empty
// for an unknown family.
std::string MediumInstallerCommandLine(WindowsFamily family, const std::string& setupFolder);

// The configured address when it is set, else the built-in one of the
// family; empty for an unknown family.
std::string InstallerDownloadAddress(WindowsFamily family, const std::string& configured);

// bytesSoFar * 100 / totalSize in 64 bits, kept within 0 to 100; 0 for a
// total of 0 or less.
int DownloadProgressPosition(int64_t bytesSoFar, int64_t totalSize);

// Whether `text` is 64 hexadecimal digits in any case.
bool IsSha256Text(const std::string& text);

// Whether the configured `expected` digest names the computed one. A
// malformed `expected` matches nothing.
bool Sha256Matches(const std::string& expected, const std::string& computed);

}  // namespace kq
