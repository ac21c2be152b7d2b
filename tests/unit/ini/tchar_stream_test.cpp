// The line reader and writer over files in memory: chunking, line ends,
// encodings, the too-small-buffer protocol and malformed input.
#include "ini/tchar_stream.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ini/memory_file_opener.h"
#include "ini_test_util.h"

namespace kq {
namespace {

using test::Utf16File;

class StreamTest : public ::testing::Test {
 protected:
  void Open(const std::string& content) {
    files_.SetFile("f.ini", content);
    ASSERT_TRUE(stream_.OpenStream("f.ini", CTCharStream::kModeRead));
  }

  // Reads every line with a buffer large enough for any of them.
  std::vector<std::string> ReadAll() {
    std::vector<std::string> lines;
    std::vector<char> buffer(100000);
    for (;;) {
      long length = static_cast<long>(buffer.size() - 1);
      EXPECT_TRUE(stream_.ReadLine(buffer.data(), &length));
      if (length < 0) break;
      EXPECT_EQ(buffer[static_cast<size_t>(length)], '\0');
      lines.emplace_back(buffer.data(), static_cast<size_t>(length));
      if (lines.size() > 100000) break;
    }
    return lines;
  }

  MemoryFileOpener files_;
  CTCharStream stream_{files_};
};

using Lines = std::vector<std::string>;

TEST_F(StreamTest, SplitsAnsiLinesAtLineFeedsAndDropsCarriageReturns) {
  Open("a=1\r\n\r\n; note\nlast");
  EXPECT_EQ(stream_.GetEncoding(), CTCharStream::kEncodingAnsi);
  EXPECT_EQ(ReadAll(), (Lines{"a=1", "", "; note", "last"}));
  long length = 10;
  char buffer[11];
  EXPECT_TRUE(stream_.ReadLine(buffer, &length));  // end of file stays the end
  EXPECT_EQ(length, -1);
}

TEST_F(StreamTest, EmptyFilesAndShortFilesAreAnsi) {
  Open("");
  EXPECT_EQ(stream_.GetEncoding(), CTCharStream::kEncodingAnsi);
  EXPECT_EQ(ReadAll(), Lines{});
  Open("x");  // shorter than a byte order mark: read from the start
  EXPECT_EQ(ReadAll(), Lines{"x"});
  Open("\xFF");
  EXPECT_EQ(ReadAll(), Lines{"\xFF"});
}

TEST_F(StreamTest, TextAfterACarriageReturnIsDroppedUpToTheLineFeed) {
  Open("ab\rcd\nnext\n");
  EXPECT_EQ(ReadAll(), (Lines{"ab", "next"}));
  // Also when the carriage return and the line feed lie in different chunks.
  const std::string longTail(600, 'z');
  Open("key=v\r" + longTail + "\nnext");
  EXPECT_EQ(ReadAll(), (Lines{"key=v", "next"}));
}

TEST_F(StreamTest, NulBytesEndTheLineTextButNotTheLine) {
  Open(std::string("ab\0cd\n\0\0\nz", 10));
  EXPECT_EQ(ReadAll(), (Lines{"ab", "", "z"}));
}

TEST_F(StreamTest, LinesAcrossChunkBoundariesAreWhole) {
  // Lines of every length around the 256-byte chunk, one after the other,
  // so each seek back lands at a different offset.
  std::string content;
  Lines expected;
  for (size_t n = 250; n < 262; ++n) {
    expected.push_back(std::string(n, static_cast<char>('a' + n % 26)));
    content += expected.back() + "\r\n";
  }
  expected.push_back(std::string(5000, 'L'));
  content += expected.back();
  Open(content);
  EXPECT_EQ(ReadAll(), expected);
}

TEST_F(StreamTest, TooSmallABufferReportsTheLengthAndRereadsTheLine) {
  Open("0123456789\nab\n");
  char small[6];
  long length = 5;
  EXPECT_FALSE(stream_.ReadLine(small, &length));
  EXPECT_EQ(length, 10);
  EXPECT_EQ(GetIniLastError(), kIniErrorSuccess);
  char fits[11];
  length = 10;
  ASSERT_TRUE(stream_.ReadLine(fits, &length));
  EXPECT_EQ(std::string(fits), "0123456789");
  length = 2;  // exactly the capacity
  ASSERT_TRUE(stream_.ReadLine(fits, &length));
  EXPECT_EQ(std::string(fits), "ab");
}

TEST_F(StreamTest, ReadsUtf16WithByteOrderMark) {
  Open(Utf16File("[S]\r\nk=caf\xE9\r\nlast"));
  EXPECT_EQ(stream_.GetEncoding(), CTCharStream::kEncodingUtf16);
  EXPECT_EQ(ReadAll(), (Lines{"[S]", "k=caf\xE9", "last"}));
}

TEST_F(StreamTest, Utf16EdgeCases) {
  Open("\xFF\xFE");  // only the mark
  EXPECT_EQ(stream_.GetEncoding(), CTCharStream::kEncodingUtf16);
  EXPECT_EQ(ReadAll(), Lines{});
  Open(Utf16File("ab\ncd") + "X");  // ends inside a character
  EXPECT_EQ(ReadAll(), (Lines{"ab", "cd"}));
  Open(Utf16File("ab\n") + "X");
  EXPECT_EQ(ReadAll(), (Lines{"ab"}));
  // A line feed byte that is half of another character ends nothing.
  Open(std::string("\xFF\xFE" "a\0\x0A\x01" "b\0\n\0", 10));
  long length = 10;
  char buffer[11];
  EXPECT_FALSE(stream_.ReadLine(buffer, &length));  // U+010A is not in code page 1252
  EXPECT_EQ(length, 0);
}

TEST_F(StreamTest, CharacterTheCodePageCannotHoldFailsAndLeavesThePositionAtTheLine) {
  Open(Utf16File("ok\n") + std::string("x\0\x42\x30\n\0", 6) + Utf16File("after").substr(2));
  char buffer[64];
  long length = 63;
  ASSERT_TRUE(stream_.ReadLine(buffer, &length));
  length = 63;
  EXPECT_FALSE(stream_.ReadLine(buffer, &length));
  EXPECT_EQ(length, 0);
  EXPECT_EQ(GetIniLastError(), kIniErrorNoUnicodeTranslation);
  length = 63;  // still the same line, not the next one
  EXPECT_FALSE(stream_.ReadLine(buffer, &length));
  EXPECT_EQ(GetIniLastError(), kIniErrorNoUnicodeTranslation);
}

TEST_F(StreamTest, RejectsBadCallsWithTheirErrors) {
  char buffer[8];
  long length = 7;
  EXPECT_FALSE(stream_.ReadLine(buffer, &length));  // not open
  EXPECT_EQ(length, 0);
  EXPECT_EQ(GetIniLastError(), kIniErrorInvalidHandle);
  EXPECT_FALSE(stream_.WriteLine("x"));
  EXPECT_EQ(stream_.GetEncoding(), CTCharStream::kEncodingNone);

  Open("abc");
  EXPECT_FALSE(stream_.ReadLine(nullptr, &length));
  EXPECT_EQ(GetIniLastError(), kIniErrorInvalidData);
  EXPECT_FALSE(stream_.ReadLine(buffer, nullptr));
  EXPECT_EQ(GetIniLastError(), kIniErrorInvalidData);

  EXPECT_FALSE(stream_.OpenStream("f.ini", 4));
  EXPECT_FALSE(stream_.OpenStream(nullptr, 0));
  EXPECT_FALSE(stream_.OpenStream("missing.ini", 0));
  EXPECT_EQ(GetIniLastError(), kIniErrorFileNotFound);
  EXPECT_EQ(stream_.GetEncoding(), CTCharStream::kEncodingNone);
}

TEST_F(StreamTest, ReadErrorsReportTheSystemError) {
  files_.FailReadsAfter(300, kIniErrorReadFault);
  Open(std::string(1000, 'a'));
  char buffer[2000];
  long length = 1999;
  EXPECT_FALSE(stream_.ReadLine(buffer, &length));
  EXPECT_EQ(length, 0);
  EXPECT_EQ(GetIniLastError(), kIniErrorReadFault);
}

TEST_F(StreamTest, WritesAnsiAndUtf16LinesWithCrLf) {
  ASSERT_TRUE(stream_.OpenStream("out.ini", CTCharStream::kModeWriteAnsi));
  EXPECT_EQ(stream_.GetEncoding(), CTCharStream::kEncodingAnsi);
  EXPECT_TRUE(stream_.WriteLine("a=\xE9"));
  EXPECT_TRUE(stream_.WriteLine(""));
  EXPECT_TRUE(stream_.Close());
  std::string content;
  ASSERT_TRUE(files_.GetFile("out.ini", content));
  EXPECT_EQ(content, "a=\xE9\r\n\r\n");

  ASSERT_TRUE(stream_.OpenStream("out.ini", CTCharStream::kModeWriteUtf16));
  EXPECT_EQ(stream_.GetEncoding(), CTCharStream::kEncodingUtf16);
  EXPECT_TRUE(stream_.WriteLine("a=\xE9"));
  EXPECT_TRUE(stream_.Close());
  ASSERT_TRUE(files_.GetFile("out.ini", content));
  EXPECT_EQ(content, Utf16File("a=\xE9\r\n"));
}

TEST_F(StreamTest, WriteFailuresAreReported) {
  files_.FailWritesAfter(1);
  EXPECT_FALSE(stream_.OpenStream("out.ini", CTCharStream::kModeWriteUtf16));  // the mark fails
  EXPECT_EQ(GetIniLastError(), kIniErrorDiskFull);
  files_.FailWritesAfter(5);
  ASSERT_TRUE(stream_.OpenStream("out.ini", CTCharStream::kModeWriteAnsi));
  EXPECT_TRUE(stream_.WriteLine("abc"));
  EXPECT_FALSE(stream_.WriteLine("def"));
  EXPECT_EQ(GetIniLastError(), kIniErrorDiskFull);
}

}  // namespace
}  // namespace kq
