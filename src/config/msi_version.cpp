#include "config/msi_version.h"

#include "config/parse_integer.h"
#include "text/next_field.h"

namespace kq {

bool MsiVersion::IsAtLeast(const MsiVersion& required) const {
  const uint32_t mine[] = {major, minor, build};
  const uint32_t theirs[] = {required.major, required.minor, required.build};
  for (int i = 0; i < 3; ++i) {
    if (mine[i] != theirs[i]) return mine[i] > theirs[i];
  }
  return true;
}

bool ReadMsiVersion(const std::string& text, MsiVersion& version) {
  std::string rest = text;
  uint32_t* parts[] = {&version.major, &version.minor, &version.build};
  for (uint32_t* part : parts) {
    std::string token;
    int32_t number = 0;
    if (!NextField(rest, token, ".", QuoteMode::Remove) || !ParseInteger(token, number)) return false;
    *part = static_cast<uint32_t>(number);
  }
  return true;
}

}  // namespace kq
