#include "check/closest_name.h"

#include <algorithm>
#include <iterator>

#include "config/setup_data_names.h"
#include "text/ascii_text.h"

namespace kq {

namespace {

// Over the texts with their ASCII letters folded (LowerCaseAscii).
size_t EditDistance(const std::string& a, const std::string& b) {
  std::vector<size_t> previous(b.size() + 1);
  std::vector<size_t> current(b.size() + 1);
  for (size_t j = 0; j <= b.size(); ++j) previous[j] = j;
  for (size_t i = 1; i <= a.size(); ++i) {
    current[0] = i;
    for (size_t j = 1; j <= b.size(); ++j) {
      const size_t change = previous[j - 1] + (a[i - 1] == b[j - 1] ? 0 : 1);
      current[j] = std::min({previous[j] + 1, current[j - 1] + 1, change});
    }
    previous.swap(current);
  }
  return previous[b.size()];
}

}  // namespace

const std::vector<std::string>& KnownSections() {
  static const std::vector<std::string> kSections(std::begin(kSectionNames), std::end(kSectionNames));
  return kSections;
}

const std::vector<std::string>& KnownInformationKeys() {
  static const std::vector<std::string> kKeys(std::begin(kInformationKeyNames), std::end(kInformationKeyNames));
  return kKeys;
}

std::string ClosestName(const std::string& name, const std::vector<std::string>& known) {
  std::string best;
  size_t bestDistance = 0;
  for (const std::string& candidate : known) {
    const size_t distance = EditDistance(LowerCaseAscii(name), LowerCaseAscii(candidate));
    if (best.empty() || distance < bestDistance) {
      best = candidate;
      bestDistance = distance;
    }
  }
  // A third of the name may be wrong, and at least two letters (a swap).
  const size_t allowed = std::max<size_t>(2, best.size() / 3);
  return bestDistance <= allowed ? best : std::string();
}

std::string NearMissName(const std::string& name, const std::vector<std::string>& known) {
  const std::string closest = ClosestName(name, known);
  return !closest.empty() && EditDistance(name, closest) <= 2 ? closest : std::string();
}

}  // namespace kq
