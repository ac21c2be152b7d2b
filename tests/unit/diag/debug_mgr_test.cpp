#include "diag/debug_mgr.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace kq {
namespace {

std::string ReadAll(FILE* f) {
  std::fflush(f);
  std::rewind(f);
  std::string text;
  char buffer[512];
  size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) text.append(buffer, n);
  return text;
}

std::string TempPath(const char* name) {
  const char* dir = std::getenv("TEMP");
  if (dir == nullptr) dir = std::getenv("TMPDIR");
  std::string path = dir != nullptr ? dir : "/tmp";
  return path + "/" + name;
}

class DebugMgrTest : public ::testing::Test {
 protected:
  void SetUp() override {
    stream1_ = std::tmpfile();
    stream2_ = std::tmpfile();
    ASSERT_NE(stream1_, nullptr);
    ASSERT_NE(stream2_, nullptr);
  }
  void TearDown() override {
    DebugMgr::ResetForTest();
    std::fclose(stream1_);
    std::fclose(stream2_);
  }
  void UseStreams(int level, bool errorsAsAsserts = false) {
    DebugMgr::Settings s;
    s.debugLevel = level;
    s.errorsAsAsserts = errorsAsAsserts;
    s.extraStream1 = stream1_;
    s.extraStream2 = stream2_;
    DebugMgr::Configure(s);
  }
  FILE* stream1_ = nullptr;
  FILE* stream2_ = nullptr;
};

TEST_F(DebugMgrTest, LevelZeroSilencesEveryChannel) {
  UseStreams(0);
  DebugMgr::DebugOutput(0, "output");
  DebugMgr::DebugError("error");
  DebugMgr::Assert(0, "assert");
  DebugMgr::EmitDebugText("text");
  EXPECT_EQ(ReadAll(stream1_), "");
  EXPECT_EQ(ReadAll(stream2_), "");
}

TEST_F(DebugMgrTest, MessagesAboveTheLevelAreDropped) {
  UseStreams(20);
  DebugMgr::DebugOutput(40, "bytes received: %d\n", 10);
  DebugMgr::DebugOutput(20, "connect failed: %d\n", 10061);
  DebugMgr::DebugOutput(2, "size request failed\n");
  EXPECT_EQ(ReadAll(stream1_), "connect failed: 10061\nsize request failed\n");
  EXPECT_EQ(ReadAll(stream2_), "connect failed: 10061\nsize request failed\n");
}

TEST_F(DebugMgrTest, AssertWritesOnlyWhenTheConditionIsFalse) {
  UseStreams(1);
  DebugMgr::Assert(1, "held %d", 1);
  DebugMgr::Assert(0, nullptr);
  DebugMgr::Assert(0, "broken %d", 2);
  EXPECT_EQ(ReadAll(stream2_), "broken 2");
}

TEST_F(DebugMgrTest, ErrorsIgnoreTheLevelAndCanGoThroughAssert) {
  UseStreams(1, /*errorsAsAsserts=*/true);
  DebugMgr::DebugError("socket error %d: %s", 10060, "100% lost");
  EXPECT_EQ(ReadAll(stream2_), "socket error 10060: 100% lost");
}

TEST_F(DebugMgrTest, OverlongMessagesAreCutAfterTheChannelsWarning) {
  UseStreams(50);
  const std::string big(5000, 'x');
  DebugMgr::DebugOutput(1, "%s", big.c_str());
  DebugMgr::DebugError("%s", big.c_str());
  DebugMgr::Assert(0, "%s", big.c_str());
  const std::string cut(DebugMgr::kBufferSize - 1, 'x');
  EXPECT_EQ(ReadAll(stream2_), "DebugOutput: BUFFER OVERFLOW!" + cut + "DebugError: BUFFER OVERFLOW!" +
                                   cut + "Assert: BUFFER OVERFLOW!" + cut);
}

TEST_F(DebugMgrTest, AMessageOfExactly4094CharactersIsNotAnOverflow) {
  UseStreams(50);
  const std::string fits(DebugMgr::kBufferSize - 2, 'y');
  DebugMgr::DebugOutput(1, "%s", fits.c_str());
  EXPECT_EQ(ReadAll(stream2_), fits);
}

TEST_F(DebugMgrTest, WithoutFileOrSecondStreamTextGoesToStandardOutput) {
  DebugMgr::Settings s;
  s.debugLevel = 5;
  DebugMgr::Configure(s);
  ::testing::internal::CaptureStdout();
  DebugMgr::DebugOutput(5, "100%% done, %s\n", "50% of it %d");
  DebugMgr::EmitDebugText("raw %s %d\n");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "100% done, 50% of it %d\nraw %s %d\n");
}

TEST_F(DebugMgrTest, TheOutputFileIsAppendedToAcrossRuns) {
  const std::string path = TempPath("kq_debugmgr_test.log");
  std::remove(path.c_str());
  for (int run = 1; run <= 2; ++run) {
    DebugMgr::Settings s;
    s.debugLevel = 10;
    s.outputFileName = path.c_str();
    s.extraStream1 = stream1_;
    DebugMgr::Configure(s);
    DebugMgr::DebugOutput(10, "run %d\n", run);
    DebugMgr::ResetForTest();  // closes the file, as the end of a process would
  }
  FILE* f = std::fopen(path.c_str(), "rb");
  ASSERT_NE(f, nullptr);
  std::string text = ReadAll(f);
  std::fclose(f);
  std::remove(path.c_str());
  // Text mode on Windows writes CR LF.
  std::string normalized;
  for (char c : text)
    if (c != '\r') normalized += c;
  EXPECT_EQ(normalized, "run 1\nrun 2\n");
  EXPECT_EQ(ReadAll(stream1_), "run 1\nrun 2\n");
}

TEST_F(DebugMgrTest, AFileThatCannotBeOpenedSilencesOnlyTheFile) {
  DebugMgr::Settings s;
  s.debugLevel = 10;
  s.outputFileName = "/no/such/folder/at/all/x.log";
  s.extraStream1 = stream1_;
  DebugMgr::Configure(s);
  ::testing::internal::CaptureStdout();
  DebugMgr::DebugOutput(1, "one\n");
  DebugMgr::DebugOutput(1, "two\n");
  // The failed file still counts as the file: standard output stays unused.
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "");
  EXPECT_EQ(ReadAll(stream1_), "one\ntwo\n");
}

}  // namespace
}  // namespace kq
