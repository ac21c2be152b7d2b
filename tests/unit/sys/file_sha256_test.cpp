// The SHA-256 of a file, read in 64 KB pieces: the last one partial, and a
// file whose size is a whole number of pieces.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "sys/file_sha256.h"

namespace kq {
namespace {

std::string WriteTempFile(const std::string& content) {
  char folder[MAX_PATH + 1] = {};
  char path[MAX_PATH + 1] = {};
  EXPECT_NE(GetTempPathA(sizeof folder, folder), 0u);
  EXPECT_NE(GetTempFileNameA(folder, "SHA", 0, path), 0u);
  HANDLE file = CreateFileA(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0, nullptr);
  DWORD written = 0;
  EXPECT_TRUE(WriteFile(file, content.data(), static_cast<DWORD>(content.size()), &written, nullptr));
  CloseHandle(file);
  return path;
}

TEST(FileSha256, KnownDigestsAcrossReadBlocks) {
  const struct {
    std::string content;
    const char* digest;
  } cases[] = {
      {"", "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855"},
      {"abc", "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad"},
      {std::string(1000000, 'a'), "cdc76e5c9914fb9281a1c7e284d73e67f1809a48a497200e046d39ccc7112cd0"},
      {std::string(128 * 1024, 'a'), "b44ffb72fcc259676bd80495fef1b44b808ca8f1ffe1b1706a4d7911b0e31f11"},
  };
  for (const auto& c : cases) {
    const std::string path = WriteTempFile(c.content);
    std::string digest;
    EXPECT_TRUE(ComputeFileSha256(path, digest));
    EXPECT_EQ(digest, c.digest);
    DeleteFileA(path.c_str());
  }
}

TEST(FileSha256, AMissingFileHasNoDigest) {
  std::string digest = "old";
  EXPECT_FALSE(ComputeFileSha256("C:\\no\\such\\file.exe", digest));
  EXPECT_EQ(digest, "");
}

}  // namespace
}  // namespace kq
