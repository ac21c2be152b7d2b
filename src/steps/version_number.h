#pragma once
// VersionNumber: the four 16-bit parts (major, minor, build, revision) by
// which products found in the Uninstall key are compared against the
// version ranges of an upgrade condition. Portable, so that the lenient
// reader and the ranges are tested natively.
#include <cstdint>
#include <string>
#include <vector>

namespace kq {

class VersionNumber {
 public:
  VersionNumber() = default;
  VersionNumber(uint16_t major, uint16_t minor, uint16_t build, uint16_t revision)
      : parts_{major, minor, build, revision} {}

  // Reads the text leniently: it must start with a digit; each of the four
  // parts then skips one '.', and is a decimal number (above 65535 fails
  // the read), or a letter's place in the alphabet (a and A are 0, one
  // character), or 0 when anything else stands there, which also ends the
  // reading: "3.1b" is 3.1.1.0, "6.0 SP2" is 6.0.0.0. On failure the
  // version is 0.0.0.0.
  bool Read(const char* text);

  void Clear() { *this = VersionNumber(); }
  uint16_t Major() const { return parts_[0]; }
  uint16_t Minor() const { return parts_[1]; }
  uint16_t Build() const { return parts_[2]; }
  uint16_t Revision() const { return parts_[3]; }

  // Negative, zero or positive as this version is below, equal to or above
  // `other`, part by part from major to revision.
  int Compare(const VersionNumber& other) const;
  bool operator<(const VersionNumber& other) const { return Compare(other) < 0; }
  bool operator<=(const VersionNumber& other) const { return Compare(other) <= 0; }
  bool operator==(const VersionNumber& other) const { return Compare(other) == 0; }

  // "major.minor.build.revision", for log lines and test messages.
  std::string ToString() const;

 private:
  uint16_t parts_[4] = {0, 0, 0, 0};
};

// The version in a product's display name ("Tool 2000 v3.1"): read from the
// first digit on; where that fails (a run of digits above 65535), from the
// next digit after that run. False when no digit is left.
bool ReadVersionFromDisplayName(const std::string& displayName, VersionNumber& version);

// Whether `version` lies in one of the ranges: "LOW-HIGH;LOW-;-HIGH;EXACT"
// (split at each ';', a range at its first '-'; bounds are VersionNumber
// texts, both inclusive; a missing bound is open). An empty text accepts
// every version. A bound that cannot be read makes the answer false. An
// empty range between separators (";;", a trailing ';') is no range at all.
bool IsVersionInRanges(const VersionNumber& version, const std::string& ranges);

// The first bound of the ranges text that VersionNumber cannot read, in
// `bound`; false when every bound reads (IsVersionInRanges then never fails
// for a bad bound).
bool FindUnreadableVersionBound(const std::string& ranges, std::string& bound);

// The bounds of the ranges text in order, the missing ones left out and a
// range's upper bound only when it differs from its lower one.
std::vector<std::string> VersionRangeBounds(const std::string& ranges);

}  // namespace kq
