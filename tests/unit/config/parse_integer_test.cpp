#include "config/parse_integer.h"

#include <gtest/gtest.h>

#include <climits>

namespace kq {
namespace {

TEST(ParseInteger, ReadsSignedDecimalsAndWrapsAt32Bits) {
  const struct {
    const char* text;
    int32_t value;
  } cases[] = {
      {"", 0},
      {"0", 0},
      {"1234", 1234},
      {"-5", -5},
      {"-", 0},
      {"007", 7},
      {"2147483647", INT32_MAX},
      {"2147483648", INT32_MIN},
      {"-2147483648", INT32_MIN},
      {"4294967295", -1},
      {"4294967296", 0},
      {"99999999999", 1215752191},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.text);
    int32_t value = 42;
    EXPECT_TRUE(ParseInteger(c.text, value));
    EXPECT_EQ(value, c.value);
  }
}

TEST(ParseInteger, RejectsAnythingButDigitsAndALeadingMinus) {
  for (const char* text : {"+5", "1a", " 1", "1 ", "0x10", "--1", "1-", "a", "1.5"}) {
    SCOPED_TRACE(text);
    int32_t value = 42;
    EXPECT_FALSE(ParseInteger(text, value));
    EXPECT_EQ(value, 42);
  }
}

}  // namespace
}  // namespace kq
