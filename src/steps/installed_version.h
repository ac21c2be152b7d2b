#pragma once
// GetInstalledVersion: the version of an installed product, from its
// Uninstall entry.
#include "steps/version_number.h"

namespace kq {

// Sets `version` to 0.0.0.0, then takes the first readable of: Version
// (a 32-bit number, one byte per part from major down), VersionMajor with
// VersionMinor (both needed), DisplayVersion (read as a VersionNumber; when
// that fails there is no further fallback), the digits of DisplayName.
// True when one of them gave a version; false when the entry is not found
// or none did.
bool GetInstalledVersion(const char* entry, VersionNumber& version);

}  // namespace kq
