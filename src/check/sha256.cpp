#include "check/sha256.h"

#include "sys/sha256.h"

namespace kq {

std::string Sha256Hex(const std::string& bytes) {
  Sha256 hash;
  hash.Update(bytes.data(), bytes.size());
  return hash.FinishHex();
}

}  // namespace kq
