#include "sys/format.h"

#include <gtest/gtest.h>

#include <string>

namespace kq {
namespace {

int FormatIntoBuffer(char* buffer, size_t size, const char* format, ...) {
  va_list args;
  va_start(args, format);
  const int length = FormatInto(buffer, size, format, args);
  va_end(args);
  return length;
}

TEST(Format, ProducesResultsOfAnyLength) {
  EXPECT_EQ(Format("Process completed with exit code: %08X", 0x8004FFFFu),
            "Process completed with exit code: 8004FFFF");
  EXPECT_EQ(Format("%s", ""), "");
  // Around each room the first tries have (the C library of Windows leaves a
  // result of exactly the room's length unterminated) and far beyond them.
  for (size_t length : {254u, 255u, 256u, 257u, 511u, 512u, 513u, 10000u}) {
    const std::string body = std::string(length - 2, 'a') + "z";
    EXPECT_EQ(Format("[%s", body.c_str()), "[" + body) << length;
    EXPECT_EQ(Format("%s%u", body.c_str(), 7u), body + "7") << length;
  }
}

TEST(Format, ACutResultIsTerminatedAndSaysSo) {
  char buffer[8];
  EXPECT_EQ(FormatIntoBuffer(buffer, sizeof buffer, "%s", "1234567"), 7);
  EXPECT_STREQ(buffer, "1234567");
  for (const char* text : {"12345678", "123456789abc"}) {
    EXPECT_EQ(FormatIntoBuffer(buffer, sizeof buffer, "%s", text), kFormatCut) << text;
    EXPECT_STREQ(buffer, "1234567") << text;
  }
}

}  // namespace
}  // namespace kq
