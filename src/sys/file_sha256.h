#pragma once
// The SHA-256 of a file (sys/sha256.h), read in pieces.
#include <string>

namespace kq {

// 64 lower-case hexadecimal digits into `digest`; false (logged) when the
// file cannot be read.
bool ComputeFileSha256(const std::string& path, std::string& digest);

}  // namespace kq
