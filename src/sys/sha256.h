#pragma once
// SHA-256 (FIPS 180-4), computed by the program itself: CryptoAPI offers it
// only from Windows XP SP3 on, and the systems that download a Windows
// Installer are the older ones.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kq {

class Sha256 {
 public:
  Sha256();

  // Adds the next piece of the message; pieces may have any size.
  void Update(const void* data, size_t size);

  // Ends the message and gives its digest as 64 lower-case hexadecimal
  // digits. The object is then spent: start a new one for the next message.
  std::string FinishHex();

 private:
  void Compress(const uint8_t* block);

  uint32_t state_[8];
  uint8_t block_[64];
  size_t blockUsed_ = 0;
  uint64_t messageBytes_ = 0;
};

}  // namespace kq
