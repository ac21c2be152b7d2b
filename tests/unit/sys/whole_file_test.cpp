// Files that a later run relies on reach the disk before they count as
// written: the record's write, and every file the temporary copy holds.
#include "sys/whole_file.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <vector>

#include "sys/test_support.h"

namespace kq {
namespace {

// The size of each file a flush was given, when it was given: a flush
// before the last byte would leave the rest in the cache.
std::vector<DWORD> g_flushed;
bool g_flushAnswer = true;

bool RecordingFlush(void* file) {
  g_flushed.push_back(GetFileSize(file, nullptr));
  return g_flushAnswer;
}

TEST(WholeFile, AWriteCountsOnlyOnceItsBytesAreFlushed) {
  const std::string folder = test::ScratchFolder("kq_whole_file");
  const std::string path = folder + "record.new";
  g_flushed.clear();
  g_flushAnswer = true;
  ASSERT_TRUE(WriteWholeFileThrough(path, "[Run]\r\n", RecordingFlush));
  EXPECT_EQ(g_flushed, std::vector<DWORD>{7}) << "flushed once, after all seven bytes";
  EXPECT_EQ(test::ReadWholeFile(path), "[Run]\r\n");

  g_flushAnswer = false;  // a disk that cannot take it
  EXPECT_FALSE(WriteWholeFileThrough(path, "[Run]\r\n[End]\r\n", RecordingFlush));
  EXPECT_EQ(GetFileAttributesA(path.c_str()), INVALID_FILE_ATTRIBUTES) << "a write that did not reach the disk is gone";

  g_flushed.clear();
  g_flushAnswer = true;
  ASSERT_TRUE(test::WriteWholeFile(path, "copied"));
  EXPECT_TRUE(FlushFileByName(path, RecordingFlush));
  EXPECT_EQ(g_flushed, std::vector<DWORD>{6});
  EXPECT_FALSE(FlushFileByName(folder + "missing.dat", RecordingFlush));
  DeleteFileA(path.c_str());
}

// The limit is a size a file may have, not one past it.
TEST(WholeFile, AFileOfExactlyTheLimitIsReadAndOneByteMoreIsNot) {
  const std::string path = test::ScratchFolder("kq_whole_file") + "limit.dat";
  std::string bytes;
  ASSERT_TRUE(test::WriteWholeFile(path, std::string(65536, ';')));
  EXPECT_EQ(ReadWholeFile(path, 65536, bytes), WholeFileRead::kRead);
  EXPECT_EQ(bytes.size(), 65536u);
  ASSERT_TRUE(test::WriteWholeFile(path, std::string(65537, ';')));
  EXPECT_EQ(ReadWholeFile(path, 65536, bytes), WholeFileRead::kTooLarge);
  DeleteFileA(path.c_str());
}

}  // namespace
}  // namespace kq
