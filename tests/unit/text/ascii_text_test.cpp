#include "text/ascii_text.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

// Real characters whose second byte is an ASCII letter, each followed by a
// letter of its own that does fold.
struct DoubleByteCase {
  unsigned codePage;
  const char* mixed;  // the character, then ASCII letters in mixed case
  const char* upper;
  const char* lower;
  const char* other;  // the character whose trail byte is the other case of that letter
};

const DoubleByteCase kDoubleByte[] = {
    {932, "\x83\x41" "xY", "\x83\x41" "XY", "\x83\x41" "xy", "\x83\x61" "xy"},  // ア, ヂ
    {932, "\xE4\x69" "aB", "\xE4\x69" "AB", "\xE4\x69" "ab", "\xE4\x49" "ab"},  // 臺, 腦
    {936, "\x9D\x68" "iN", "\x9D\x68" "IN", "\x9D\x68" "in", "\x9D\x48" "in"},  // 漢, 滺
    {950, "\xA6\x72" "sT", "\xA6\x72" "ST", "\xA6\x72" "st", "\xA6\x52" "st"},  // 字, 吐
    {950, "\xBB\x79" "Ok", "\xBB\x79" "OK", "\xBB\x79" "ok", "\xBB\x59" "ok"},  // 語, 蒞
};

TEST(AsciiText, ATrailByteThatIsALetterIsNeverFolded) {
  for (const DoubleByteCase& c : kDoubleByte) {
    SCOPED_TRACE(c.codePage);
    EXPECT_EQ(UpperCaseAscii(c.mixed, c.codePage), c.upper);
    EXPECT_EQ(LowerCaseAscii(c.mixed, c.codePage), c.lower);
    EXPECT_TRUE(EqualsNoCase(c.mixed, c.upper, c.codePage));
    EXPECT_TRUE(EqualsNoCase(c.lower, c.mixed, c.codePage));
    // Another character, not the same one in another case.
    EXPECT_FALSE(EqualsNoCase(c.lower, c.other, c.codePage));
    EXPECT_FALSE(EqualsNoCase(c.other, c.lower, c.codePage));
    // In a single-byte code page the same bytes are two characters, and the
    // second is a letter like any other.
    EXPECT_TRUE(EqualsNoCase(c.lower, c.other, 1252));
  }
}

TEST(AsciiText, OnlyAsciiLettersFold) {
  EXPECT_EQ(UpperCaseAscii("setup.ini /qb-", 1252), "SETUP.INI /QB-");
  EXPECT_EQ(LowerCaseAscii("Location: HTTP://H/\xC4\xE9", 1252), "location: http://h/\xC4\xE9");
  EXPECT_EQ(ToUpperAscii('q'), 'Q');
  EXPECT_EQ(ToLowerAscii('@'), '@');
  EXPECT_EQ(ToLowerAscii('['), '[');
  EXPECT_TRUE(EqualsNoCase("Remove", "REMOVE", 1252));
  EXPECT_FALSE(EqualsNoCase("\xE4", "\xC4", 1252));  // ä and Ä are not ASCII
  EXPECT_FALSE(EqualsNoCase("LEAVE", "LEAVES", 1252));
  EXPECT_FALSE(EqualsNoCase("@", "`", 1252));  // 0x40 and 0x60 differ by the case bit but are no letters
}

TEST(AsciiText, EveryByteHasOneClass) {
  // The boundaries of every range, and bytes that only look like letters in
  // some code page (0xC4 is Ä in 1252, 0xE1 in 1251 a Cyrillic letter).
  const struct {
    char c;
    bool digit, letter;
    int hex;
  } cases[] = {
      {'0', true, false, 0},   {'9', true, false, 9},    {'/', false, false, -1}, {':', false, false, -1},
      {'a', false, true, 10},  {'f', false, true, 15},   {'g', false, true, -1},  {'z', false, true, -1},
      {'A', false, true, 10},  {'F', false, true, 15},   {'G', false, true, -1},  {'Z', false, true, -1},
      {'@', false, false, -1}, {'[', false, false, -1},  {'`', false, false, -1}, {'{', false, false, -1},
      {'\xC4', false, false, -1}, {'\xE1', false, false, -1}, {'\0', false, false, -1},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(static_cast<unsigned char>(c.c)));
    EXPECT_EQ(IsAsciiDigit(c.c), c.digit);
    EXPECT_EQ(IsAsciiLetter(c.c), c.letter);
    EXPECT_EQ(HexDigitValue(c.c), c.hex);
    EXPECT_EQ(IsHexDigit(c.c), c.hex >= 0);
  }
}

}  // namespace
}  // namespace kq
