#include "config/msi_version.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

MsiVersion Version(uint32_t major, uint32_t minor, uint32_t build) {
  MsiVersion version;
  version.major = major;
  version.minor = minor;
  version.build = build;
  return version;
}

void ExpectParts(const char* text, uint32_t major, uint32_t minor, uint32_t build) {
  MsiVersion version = Version(9, 9, 9);
  ASSERT_TRUE(ReadMsiVersion(text, version)) << text;
  EXPECT_EQ(version.major, major) << text;
  EXPECT_EQ(version.minor, minor) << text;
  EXPECT_EQ(version.build, build) << text;
}

TEST(MsiVersionText, PartsAndComparison) {
  ExpectParts("1.10", 1, 10, 0);
  ExpectParts("", 0, 0, 0);
  ExpectParts("2.0.2600.7", 2, 0, 2600);  // a fourth part is ignored
  ExpectParts("4.5.70000", 4, 5, 70000);  // 32-bit parts, as MSI.DLL reports them
  ExpectParts("\"3\".1", 3, 1, 0);        // quotes around a part are removed
  MsiVersion version;
  EXPECT_FALSE(ReadMsiVersion("1.1x", version));
  EXPECT_FALSE(ReadMsiVersion("1.\"1", version));
  EXPECT_FALSE(ReadMsiVersion("\"3.1\"", version));  // quotes hold the dot: one part, not a number

  const MsiVersion required = Version(1, 10, 0);
  EXPECT_TRUE(Version(1, 10, 1029).IsAtLeast(required));
  EXPECT_FALSE(Version(1, 0, 9).IsAtLeast(required));
  EXPECT_TRUE(Version(2, 0, 0).IsAtLeast(required));
  EXPECT_FALSE(Version(1, 9, 9999).IsAtLeast(required));
  EXPECT_TRUE(required.IsAtLeast(required));
  EXPECT_FALSE(Version(1, 10, 0).IsAtLeast(Version(1, 10, 1)));
  // Parts compare as unsigned numbers: -1 reads as the largest value.
  MsiVersion negative;
  ASSERT_TRUE(ReadMsiVersion("-1", negative));
  EXPECT_FALSE(Version(2, 0, 0).IsAtLeast(negative));
}

}  // namespace
}  // namespace kq
