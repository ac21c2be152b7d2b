#include "steps/version_number.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

// The text read, or "fail".
std::string Read(const char* text) {
  VersionNumber v(9, 9, 9, 9);
  return v.Read(text) ? v.ToString() : (v == VersionNumber() ? "fail" : "fail, not cleared");
}

TEST(VersionNumber, LenientReader) {
  struct Case {
    const char* text;
    const char* read;
  } const cases[] = {
      {"4.5.1", "4.5.1.0"},
      {"2000", "2000.0.0.0"},
      {"3.1b", "3.1.1.0"},
      {"6.0 SP2", "6.0.0.0"},
      {"1.2.3.4.5", "1.2.3.4"},
      {"65535.65535.65535.65535", "65535.65535.65535.65535"},
      {"007.010", "7.10.0.0"},
      {"1a2", "1.0.2.0"},      // a letter is a part of its own
      {"1.Z", "1.25.0.0"},     // upper case counts like lower case
      {"2..1", "2.0.1.0"},     // a second dot is skipped by the part after it
      {"1...2", "1.0.0.2"},
      {"1-2", "1.0.0.0"},
      {"1.2.", "1.2.0.0"},
      {"1.é", "1.0.0.0"},      // a byte above 0x7F is no letter
      {"65536", "fail"},
      {"1.99999999999999999999", "fail"},  // no wrap-around in a long run
      {"", "fail"},
      {"v1.0", "fail"},
      {".1", "fail"},
      {" 1", "fail"},
  };
  for (const Case& c : cases) EXPECT_EQ(Read(c.text), c.read) << c.text;
  EXPECT_EQ(Read(nullptr), "fail");
}

TEST(VersionNumber, OrderIsPartByPartFromMajor) {
  const VersionNumber ordered[] = {{0, 0, 0, 0}, {0, 0, 0, 65535}, {0, 0, 1, 0}, {0, 1, 0, 0},
                                   {1, 0, 0, 0}, {1, 0, 0, 1},     {2, 0, 0, 0}, {65535, 0, 0, 0}};
  const size_t n = sizeof ordered / sizeof ordered[0];
  for (size_t i = 0; i < n; ++i) {
    for (size_t j = 0; j < n; ++j) {
      EXPECT_EQ(ordered[i] < ordered[j], i < j) << i << " " << j;
      EXPECT_EQ(ordered[i] <= ordered[j], i <= j) << i << " " << j;
      EXPECT_EQ(ordered[i] == ordered[j], i == j) << i << " " << j;
    }
  }
}

TEST(VersionNumber, DisplayNameDigitScan) {
  struct Case {
    const char* name;
    const char* read;
  } const cases[] = {
      {"Korvane Tool 3.1b", "3.1.1.0"},
      {"Tool 2000 v3", "2000.0.0.0"},
      {"Tool 99999 v3.2", "3.2.0.0"},          // too large: go on after the run
      {"Tool 123456789", "fail"},
      {"Tool", "fail"},
      {"", "fail"},
      {"Build70000.5", "5.0.0.0"},             // the dot after the failed run is skipped too
  };
  for (const Case& c : cases) {
    VersionNumber v(9, 9, 9, 9);
    const bool found = ReadVersionFromDisplayName(c.name, v);
    EXPECT_EQ(found ? v.ToString() : (v == VersionNumber() ? "fail" : "fail, not cleared"), c.read) << c.name;
  }
}

TEST(VersionNumber, Ranges) {
  struct Case {
    const char* version;
    const char* ranges;
    bool in;
  } const cases[] = {
      {"1.5", "1.0-1.9;3.0-", true},
      {"3.2", "1.0-1.9;3.0-", true},
      {"2.0", "1.0-1.9;3.0-", false},
      {"1.9.0.1", "1.0-1.9", false},           // bounds are whole versions
      {"1.9", "1.0-1.9", true},
      {"1.0", "1.0-1.9", true},
      {"2.0", "2.0", true},                     // a single version is both bounds
      {"2.0.0.1", "2.0", false},
      {"2.0.1.0", "2..1", true},
      {"0.0", "-1.0", true},                    // no version information compares as 0.0.0.0
      {"1.0.0.1", "-1.0", false},
      {"7.0", "5-", true},
      {"4.9", "5-", false},
      {"4.9", "", true},                        // an empty text accepts every version
      {"4.9", "-", true},
      {"4.9", "1.0-2.0;;", false},              // empty ranges accept nothing
      {"4.9", ";", false},
      {"4.9", "x-;4.0-", false},                // an unreadable bound ends the answer
      {"1.5", "1.0-x", false},
      {"1.5", "1.0 - 2.0", false},              // no blanks are removed: " 2.0" is unreadable
      {"0.5", "1.0-2.0;-x", false},
      {"3.0", "2.0-1.0;3.0", true},             // an empty interval is passed over
  };
  for (const Case& c : cases) {
    VersionNumber v;
    ASSERT_TRUE(v.Read(c.version)) << c.version;
    EXPECT_EQ(IsVersionInRanges(v, c.ranges), c.in) << c.version << " in " << c.ranges;
  }
}

TEST(VersionNumber, UnreadableBound) {
  std::string bound;
  for (const char* readable : {"", "-", "1.0-1.9;3.0-", "1.0-2.0;;", "2.0"}) {
    EXPECT_FALSE(FindUnreadableVersionBound(readable, bound)) << readable;
  }
  EXPECT_TRUE(FindUnreadableVersionBound("1.0-2.0;-x", bound));
  EXPECT_EQ(bound, "x");
  EXPECT_TRUE(FindUnreadableVersionBound("1.0 - 2.0", bound));
  EXPECT_EQ(bound, " 2.0");
}

}  // namespace
}  // namespace kq
