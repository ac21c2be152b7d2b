#pragma once
// The grammar of the SETUP.INI values that decide whether this machine
// qualifies: the Platforms list (NAME:MAJOR[.MINOR][:SPMAJOR[.SPMINOR]]
// entries) and AllowNTServer, and the comparisons against the running
// system. Kept free of <windows.h> so that every rule is tested natively;
// the engine supplies the system's answers.
#include <cstdint>
#include <string>

#include "steps/windows_family.h"

namespace kq {

// What the platform check knows about the running Windows.
struct RunningWindows {
  uint32_t majorVersion = 0;
  uint32_t minorVersion = 0;
  // Service-pack numbers of the extended version record; when the system
  // gave only the plain record they are read from csdVersion instead.
  bool hasServicePackNumbers = false;
  uint32_t servicePackMajor = 0;
  uint32_t servicePackMinor = 0;
  std::string csdVersion;
};

// The least version an entry of the Platforms list asks for.
struct PlatformRequirement {
  uint16_t major = 0;
  uint32_t minor = 0;
  uint32_t servicePackMajor = 0;
  uint32_t servicePackMinor = 0;
};

enum class PlatformVerdict {
  Qualifies,
  Unsupported,  // no entry for the family, an unreadable list, or Windows too old
  BadNumber,    // a number in the matched entry or in the service-pack text
};

// Finds the first entry of `platforms` whose NAME spells `family`
// (WindowsFamilyNamed) and reads its numbers. Entries without a colon
// after at least one character are skipped. Unsupported when no entry
// matches or an entry cannot be split.
PlatformVerdict FindPlatformRequirement(const std::string& platforms, WindowsFamily family,
                                        PlatformRequirement& requirement);

// Service-pack numbers from a version text such as "Service Pack 6": the
// text from its first digit, split at its first '.'. No digit gives 0.0;
// false when a part is not a number.
bool ReadServicePackText(const std::string& csdVersion, uint32_t& major, uint32_t& minor);

// The whole rule for one family: an empty list qualifies every version;
// otherwise the matched entry's version must not be higher than the
// running one, compared part by part (major, minor, service pack major,
// service pack minor), the first differing part deciding.
PlatformVerdict CheckPlatformList(const std::string& platforms, WindowsFamily family,
                                  const RunningWindows& running);

// AllowNTServer forbids installing on a server only when it is "FALSE",
// "NO" or "0" in any letter case.
bool ForbidsNtServer(const std::string& allowNtServer);

// The ProductOptions ProductType values of server editions (exact case).
bool IsServerProductType(const std::string& productType);

}  // namespace kq
