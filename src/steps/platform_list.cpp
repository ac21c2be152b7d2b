#include "steps/platform_list.h"

#include "text/ascii_text.h"
#include "text/next_field.h"
#include "config/parse_integer.h"

namespace kq {

namespace {

// Splits `text` at the first `mark`; with `notFirst`, only when the mark
// stands at position 1 or later. Without a split all of `text` is the first
// part and the second is empty.
void SplitAt(const std::string& text, char mark, bool notFirst, std::string& first, std::string& second) {
  const size_t at = text.find(mark);
  if (at == std::string::npos || (notFirst && at == 0)) {
    first = text;
    second.clear();
  } else {
    first = text.substr(0, at);
    second = text.substr(at + 1);
  }
}

bool ReadNumber(const std::string& text, uint32_t& value) {
  int32_t number = 0;
  if (!ParseInteger(text, number)) return false;
  value = static_cast<uint32_t>(number);
  return true;
}

bool ReadPair(const std::string& text, bool notFirst, uint32_t& major, uint32_t& minor) {
  std::string first, second;
  SplitAt(text, '.', notFirst, first, second);
  return ReadNumber(first, major) && ReadNumber(second, minor);
}

// -1, 0 or 1 as a is lower than, equal to or higher than b.
int Compare(uint32_t a, uint32_t b) { return a < b ? -1 : (a > b ? 1 : 0); }

}  // namespace

PlatformVerdict FindPlatformRequirement(const std::string& platforms, WindowsFamily family,
                                        PlatformRequirement& requirement) {
  requirement = PlatformRequirement();
  std::string rest = platforms;
  std::string entry;
  while (!rest.empty()) {
    if (!NextField(rest, entry, ",", QuoteMode::Remove)) return PlatformVerdict::Unsupported;
    const size_t colon = entry.find(':');
    if (colon == std::string::npos || colon == 0) continue;
    const WindowsFamily named = WindowsFamilyNamed(entry.substr(0, colon));
    if (named == WindowsFamily::kUnknown || named != family) continue;

    std::string versionPart, servicePackPart;
    SplitAt(entry.substr(colon + 1), ':', true, versionPart, servicePackPart);
    uint32_t major = 0;
    // The version's dot splits only after a digit; the service pack's always
    // (":.1" is service pack 0.1).
    if (!ReadPair(versionPart, true, major, requirement.minor) ||
        !ReadPair(servicePackPart, false, requirement.servicePackMajor, requirement.servicePackMinor))
      return PlatformVerdict::BadNumber;
    requirement.major = static_cast<uint16_t>(major);
    return PlatformVerdict::Qualifies;
  }
  return PlatformVerdict::Unsupported;
}

bool ReadServicePackText(const std::string& csdVersion, uint32_t& major, uint32_t& minor) {
  major = 0;
  minor = 0;
  const size_t digit = csdVersion.find_first_of("0123456789");
  if (digit == std::string::npos) return true;
  return ReadPair(csdVersion.substr(digit), true, major, minor);
}

PlatformVerdict CheckPlatformList(const std::string& platforms, WindowsFamily family,
                                  const RunningWindows& running) {
  if (platforms.empty()) return PlatformVerdict::Qualifies;
  PlatformRequirement required;
  const PlatformVerdict found = FindPlatformRequirement(platforms, family, required);
  if (found != PlatformVerdict::Qualifies) return found;

  const int version[] = {
      Compare(running.majorVersion, required.major),
      Compare(running.minorVersion, required.minor),
  };
  for (int difference : version) {
    if (difference < 0) return PlatformVerdict::Unsupported;
    if (difference > 0) return PlatformVerdict::Qualifies;
  }

  // The service pack matters only for the very version asked for, so its
  // text is read (and can be unreadable) only then.
  uint32_t servicePackMajor = running.servicePackMajor;
  uint32_t servicePackMinor = running.servicePackMinor;
  if (!running.hasServicePackNumbers &&
      !ReadServicePackText(running.csdVersion, servicePackMajor, servicePackMinor))
    return PlatformVerdict::BadNumber;
  const int servicePack[] = {
      Compare(servicePackMajor, required.servicePackMajor),
      Compare(servicePackMinor, required.servicePackMinor),
  };
  for (int difference : servicePack) {
    if (difference < 0) return PlatformVerdict::Unsupported;
    if (difference > 0) return PlatformVerdict::Qualifies;
  }
  return PlatformVerdict::Qualifies;
}

bool ForbidsNtServer(const std::string& allowNtServer) {
  return EqualsNoCase(allowNtServer, "FALSE") || EqualsNoCase(allowNtServer, "NO") ||
         allowNtServer == "0";
}

bool IsServerProductType(const std::string& productType) {
  return productType == "ServerNT" || productType == "LanmanNT";
}

}  // namespace kq
