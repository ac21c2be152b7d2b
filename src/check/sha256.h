#pragma once
// SHA-256 of bytes, portable: the checker compares the redistributables on
// a medium with the pins of the setup data on any system, without CryptoAPI.
#include <string>

namespace kq {

// The digest as 64 lower-case hexadecimal digits.
std::string Sha256Hex(const std::string& bytes);

}  // namespace kq
