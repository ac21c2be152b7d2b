#pragma once
// The names SETUP.EXE reads from its data file, and the one a misspelt name
// most likely meant.
#include <string>
#include <vector>

namespace kq {

const std::vector<std::string>& KnownSections();
// The keys of [ProductInformation].
const std::vector<std::string>& KnownInformationKeys();

// The known name closest to `name` by edit distance, letter case aside;
// empty when none is close enough to be meant.
std::string ClosestName(const std::string& name, const std::vector<std::string>& known);

// The known name that `name` misses by letter case or by one or two letters
// (a swap, a letter too many or too few); empty when there is none. Such a
// name is almost surely meant as the known one, which then is not read.
std::string NearMissName(const std::string& name, const std::vector<std::string>& known);

}  // namespace kq
