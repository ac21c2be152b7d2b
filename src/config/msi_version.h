#pragma once
// The MsiVersion value of the setup data: the least Windows Installer
// version the package needs, MAJOR[.MINOR[.BUILD]]. Read once, when the data
// file is loaded; the engine and the checker use the result.
//
// Not a VersionNumber: that type reads Uninstall-key versions leniently
// (letters count, four 16-bit parts), while MsiVersion has a strict grammar
// (ParseInteger's decimals, "1.1x" is an error) and is compared with the
// 32-bit major, minor and build numbers MSI.DLL reports.
#include <cstdint>
#include <string>

namespace kq {

struct MsiVersion {
  uint32_t major = 0;
  uint32_t minor = 0;
  uint32_t build = 0;

  // Whether this version is at least `required`, part by part as unsigned
  // numbers (a part written as "-1" reads as the largest value).
  bool IsAtLeast(const MsiVersion& required) const;
};

// Splits at '.' (quotes removed, as everywhere in the setup data); missing
// parts are 0 and text after the third part is ignored. False when a part is
// not a number or the text cannot be split.
bool ReadMsiVersion(const std::string& text, MsiVersion& version);

}  // namespace kq
