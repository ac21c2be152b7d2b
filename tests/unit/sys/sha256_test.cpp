// SHA-256 against the FIPS 180-4 example messages and the padding edges,
// each message given whole and in pieces of every size from 1 to 130 bytes.
#include "sys/sha256.h"

#include <gtest/gtest.h>

#include <string>

namespace kq {
namespace {

std::string DigestInPieces(const std::string& message, size_t piece) {
  Sha256 hash;
  for (size_t at = 0; at < message.size(); at += piece) {
    hash.Update(message.data() + at, message.size() - at < piece ? message.size() - at : piece);
  }
  return hash.FinishHex();
}

TEST(Sha256, StandardVectorsWholeAndInPieces) {
  const struct {
    std::string message;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {"abcdbcdecdefdefgefghfghighijhijkijkljklmklmnlmnomnopnopq",  // 448 bits
       "248d6a61d20638b8e5c026930c3e6039a33ce45964ff2167f6ecedd419db06c1"},
      {"abcdefghbcdefghicdefghijdefghijkefghijklfghijklmghijklmnhijklmnoijklmnopjklmnopqklmnopqrlmnopqrsmnopqrstnopqrstu",
       "cf5b16a778af8380036ce59e7b0492370b249b11e8f07a51afac45037afee9d1"},  // 896 bits
      // The length field fits the last block up to 55 bytes; from 56 on the
      // padding takes a block of its own.
      {std::string(55, 'a'), "9f4390f8d30c2dd92ec9f095b65e2b9ae9b0a925a5258e241c9f1e910f734318"},
      {std::string(56, 'a'), "b35439a4ac6f0948b6d6f9e3c6af0f5f590ce20f1bde7090ef7970686ec6738a"},
      {std::string(64, 'a'), "ffe054fe7ae0cb6dc65c3af9b61d5209f439851db43d0ba5997337df154668eb"},
  };
  for (const auto& c : cases) {
    Sha256 whole;
    whole.Update(c.message.data(), c.message.size());
    EXPECT_EQ(whole.FinishHex(), c.digest) << c.message.size() << " bytes";
    for (size_t piece = 1; piece <= 130; ++piece) {
      EXPECT_EQ(DigestInPieces(c.message, piece), c.digest) << c.message.size() << " bytes by " << piece;
    }
  }
}

TEST(Sha256, OneMillionA) {
  const std::string message(1000000, 'a');
  const char* digest = "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0";
  EXPECT_EQ(DigestInPieces(message, message.size()), digest);
  EXPECT_EQ(DigestInPieces(message, 4093), digest);  // pieces that straddle blocks
}

// Varied bytes given in two uneven pieces: a block taken straight from the
// input while part of one is still buffered would reorder the message, which
// equal bytes cannot show.
TEST(Sha256, EverySplitOfAVariedMessage) {
  std::string message(300, '\0');
  for (size_t i = 0; i < message.size(); ++i) message[i] = static_cast<char>((i * 37 + i / 7) & 0xFF);
  Sha256 whole;
  whole.Update(message.data(), message.size());
  const std::string digest = whole.FinishHex();
  EXPECT_EQ(digest, "5b720eda50178ee3ff71773e6330dfc44afa11f9b08c53055cb3824e83cd581a");  // Python's hashlib
  for (size_t first = 0; first <= message.size(); ++first) {
    Sha256 split;
    split.Update(message.data(), first);
    split.Update(message.data() + first, message.size() - first);
    EXPECT_EQ(split.FinishHex(), digest) << first << " then " << message.size() - first;
  }
}

}  // namespace
}  // namespace kq
