#pragma once
#include <string>

namespace kq {

// Standard Base64 (RFC 4648 alphabet, '=' padding); empty input gives "".
std::string Base64Encode(const std::string& bytes);

}  // namespace kq
