#pragma once
// The SHA-256 of a file (sys/sha256.h), read in pieces.
#include <string>

namespace kq {

// 64 lower-case hexadecimal digits into `digest`; false (logged) when the
// file cannot be read.
bool ComputeFileSha256(const std::string& path, std::string& digest);

// Whether both files exist and hold the same bytes (same size, same
// SHA-256); false without a log line when either is missing.
bool HaveSameContent(const std::string& first, const std::string& second);

}  // namespace kq
