#pragma once
// The SHA-256 of a file through CryptoAPI (PROV_RSA_AES, CALG_SHA_256).
#include <string>

namespace kq {

// 64 lower-case hexadecimal digits into `digest`; false (logged) when the
// file cannot be read or the system cannot compute the hash.
bool ComputeFileSha256(const std::string& path, std::string& digest);

}  // namespace kq
