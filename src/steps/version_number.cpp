#include "steps/version_number.h"

#include "sys/format.h"
#include "text/ascii_text.h"

namespace kq {

bool VersionNumber::Read(const char* text) {
  Clear();
  if (text == nullptr || !IsAsciiDigit(*text)) return false;
  const char* p = text;
  uint16_t parts[4] = {0, 0, 0, 0};
  for (uint16_t& part : parts) {
    if (*p == '.') ++p;
    if (IsAsciiDigit(*p)) {
      uint32_t value = 0;
      for (; IsAsciiDigit(*p); ++p) {
        value = value * 10 + static_cast<uint32_t>(*p - '0');
        if (value > 0xFFFFu) return false;
      }
      part = static_cast<uint16_t>(value);
    } else if (*p >= 'a' && *p <= 'z') {
      part = static_cast<uint16_t>(*p++ - 'a');
    } else if (*p >= 'A' && *p <= 'Z') {
      part = static_cast<uint16_t>(*p++ - 'A');
    } else if (*p != '.') {
      break;  // any other character ends the reading: the rest stay 0
    }
    // A second dot leaves this part 0; the next part skips it.
  }
  for (int i = 0; i < 4; ++i) parts_[i] = parts[i];
  return true;
}

int VersionNumber::Compare(const VersionNumber& other) const {
  for (int i = 0; i < 4; ++i) {
    if (parts_[i] != other.parts_[i]) return parts_[i] < other.parts_[i] ? -1 : 1;
  }
  return 0;
}

std::string VersionNumber::ToString() const {
  return Format("%u.%u.%u.%u", parts_[0], parts_[1], parts_[2], parts_[3]);
}

bool ReadVersionFromDisplayName(const std::string& displayName, VersionNumber& version) {
  version.Clear();
  size_t at = displayName.find_first_of("0123456789");
  while (at != std::string::npos) {
    if (version.Read(displayName.c_str() + at)) return true;
    // Only a number too large fails; go on after its run of digits.
    const size_t after = displayName.find_first_not_of("0123456789", at);
    if (after == std::string::npos) break;
    at = displayName.find_first_of("0123456789", after);
  }
  version.Clear();
  return false;
}

namespace {

// Calls `visit(low, high)` for each range of the text in order ("EXACT" gives
// the same text twice, a missing bound an empty one) until it returns false.
template <typename Visit>
void ForEachVersionRange(const std::string& ranges, Visit visit) {
  size_t begin = 0;
  while (begin <= ranges.size()) {
    size_t end = ranges.find(';', begin);
    if (end == std::string::npos) end = ranges.size();
    const std::string range = ranges.substr(begin, end - begin);
    begin = end + 1;
    if (range.empty()) continue;
    const size_t dash = range.find('-');
    const std::string low = dash == std::string::npos ? range : range.substr(0, dash);
    const std::string high = dash == std::string::npos ? range : range.substr(dash + 1);
    if (!visit(low, high)) return;
  }
}

}  // namespace

bool IsVersionInRanges(const VersionNumber& version, const std::string& ranges) {
  if (ranges.empty()) return true;
  bool inside = false;
  ForEachVersionRange(ranges, [&](const std::string& low, const std::string& high) {
    VersionNumber bound;
    if (!low.empty()) {
      if (!bound.Read(low.c_str())) return false;
      if (version < bound) return true;
    }
    if (high.empty()) {
      inside = true;
      return false;
    }
    if (!bound.Read(high.c_str())) return false;
    inside = version <= bound;
    return !inside;
  });
  return inside;
}

bool FindUnreadableVersionBound(const std::string& ranges, std::string& bound) {
  bound.clear();
  bool found = false;
  ForEachVersionRange(ranges, [&](const std::string& low, const std::string& high) {
    VersionNumber version;
    for (const std::string* text : {&low, &high}) {
      if (text->empty() || version.Read(text->c_str())) continue;
      bound = *text;
      found = true;
      return false;
    }
    return true;
  });
  return found;
}

std::vector<std::string> VersionRangeBounds(const std::string& ranges) {
  std::vector<std::string> bounds;
  ForEachVersionRange(ranges, [&](const std::string& low, const std::string& high) {
    if (!low.empty()) bounds.push_back(low);
    if (!high.empty() && high != low) bounds.push_back(high);
    return true;
  });
  return bounds;
}

}  // namespace kq
