#include "steps/platform_list.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

RunningWindows Windows(uint32_t major, uint32_t minor, uint32_t spMajor = 0, uint32_t spMinor = 0) {
  RunningWindows w;
  w.majorVersion = major;
  w.minorVersion = minor;
  w.hasServicePackNumbers = true;
  w.servicePackMajor = spMajor;
  w.servicePackMinor = spMinor;
  return w;
}

RunningWindows WindowsWithText(uint32_t major, uint32_t minor, const char* csdVersion) {
  RunningWindows w = Windows(major, minor);
  w.hasServicePackNumbers = false;
  w.csdVersion = csdVersion;
  return w;
}

TEST(PlatformList, EntriesReadIntoTheirParts) {
  PlatformRequirement r;
  ASSERT_EQ(FindPlatformRequirement("NT:4.0:6", WindowsFamily::kNt, r), PlatformVerdict::Qualifies);
  EXPECT_EQ(r.major, 4u);
  EXPECT_EQ(r.minor, 0u);
  EXPECT_EQ(r.servicePackMajor, 6u);
  EXPECT_EQ(r.servicePackMinor, 0u);

  ASSERT_EQ(FindPlatformRequirement("9x:4.10,nt:5.1:2.3", WindowsFamily::kNt, r), PlatformVerdict::Qualifies);
  EXPECT_EQ(r.major, 5u);
  EXPECT_EQ(r.minor, 1u);
  EXPECT_EQ(r.servicePackMajor, 2u);
  EXPECT_EQ(r.servicePackMinor, 3u);

  // The service pack splits at its first dot wherever it stands: ".1" is 0.1.
  ASSERT_EQ(FindPlatformRequirement("NT:5.0:.1", WindowsFamily::kNt, r), PlatformVerdict::Qualifies);
  EXPECT_EQ(r.servicePackMajor, 0u);
  EXPECT_EQ(r.servicePackMinor, 1u);
  ASSERT_EQ(FindPlatformRequirement("NT:5.0:3.", WindowsFamily::kNt, r), PlatformVerdict::Qualifies);
  EXPECT_EQ(r.servicePackMajor, 3u);
  EXPECT_EQ(r.servicePackMinor, 0u);
  EXPECT_EQ(CheckPlatformList("NT:5.0:.1", WindowsFamily::kNt, Windows(5, 0, 0, 0)), PlatformVerdict::Unsupported);
  EXPECT_EQ(CheckPlatformList("NT:5.0:.1", WindowsFamily::kNt, Windows(5, 0, 0, 1)), PlatformVerdict::Qualifies);

  // Missing parts are 0; the major version is taken as 16 bits.
  ASSERT_EQ(FindPlatformRequirement("NT:65541", WindowsFamily::kNt, r), PlatformVerdict::Qualifies);
  EXPECT_EQ(r.major, 5u);
  EXPECT_EQ(r.minor, 0u);
  ASSERT_EQ(FindPlatformRequirement("NT:", WindowsFamily::kNt, r), PlatformVerdict::Qualifies);
  EXPECT_EQ(r.major, 0u);
}

TEST(PlatformList, FirstMatchingFamilyWinsAndOthersAreSkipped) {
  PlatformRequirement r;
  // Entries without a colon, or with the colon first, are skipped.
  ASSERT_EQ(FindPlatformRequirement("NT,:NT:9,NT:5.0,NT:6.0", WindowsFamily::kNt, r), PlatformVerdict::Qualifies);
  EXPECT_EQ(r.major, 5u);
  // Quoted entries may hold the separator; the name is compared whole.
  ASSERT_EQ(FindPlatformRequirement("\"NTX:1\",\"nt:6.1\"", WindowsFamily::kNt, r), PlatformVerdict::Qualifies);
  EXPECT_EQ(r.major, 6u);
  EXPECT_EQ(r.minor, 1u);
  EXPECT_EQ(FindPlatformRequirement("NT:5.0", WindowsFamily::k9x, r), PlatformVerdict::Unsupported);
  // A list that cannot be split ends the search unsupported.
  EXPECT_EQ(FindPlatformRequirement("\"NT:5.0", WindowsFamily::kNt, r), PlatformVerdict::Unsupported);
  EXPECT_EQ(FindPlatformRequirement("9X:4.0,x\"y\",NT:5.0", WindowsFamily::kNt, r), PlatformVerdict::Unsupported);
}

TEST(PlatformList, NumbersThatAreNotNumbers) {
  PlatformRequirement r;
  EXPECT_EQ(FindPlatformRequirement("NT:5.x", WindowsFamily::kNt, r), PlatformVerdict::BadNumber);
  EXPECT_EQ(FindPlatformRequirement("NT:5.0:6a", WindowsFamily::kNt, r), PlatformVerdict::BadNumber);
  EXPECT_EQ(FindPlatformRequirement("NT:+5", WindowsFamily::kNt, r), PlatformVerdict::BadNumber);
  // A dot or colon in first position of the version does not split, so the
  // part is not a number.
  EXPECT_EQ(FindPlatformRequirement("NT:.5", WindowsFamily::kNt, r), PlatformVerdict::BadNumber);
  EXPECT_EQ(FindPlatformRequirement("NT::6", WindowsFamily::kNt, r), PlatformVerdict::BadNumber);
  // A bad number in an entry of another family is never read.
  EXPECT_EQ(FindPlatformRequirement("9X:x,NT:5", WindowsFamily::kNt, r), PlatformVerdict::Qualifies);
}

TEST(PlatformList, VersionComparison) {
  EXPECT_EQ(CheckPlatformList("", WindowsFamily::kNt, Windows(3, 51)), PlatformVerdict::Qualifies);
  // NT:5.0 on Windows 2000 with any service pack, on NT 4.0 and on XP.
  EXPECT_EQ(CheckPlatformList("NT:5.0", WindowsFamily::kNt, Windows(5, 0, 0)), PlatformVerdict::Qualifies);
  EXPECT_EQ(CheckPlatformList("NT:5.0", WindowsFamily::kNt, Windows(5, 0, 4)), PlatformVerdict::Qualifies);
  EXPECT_EQ(CheckPlatformList("NT:5.0", WindowsFamily::kNt, Windows(4, 0, 6)), PlatformVerdict::Unsupported);
  EXPECT_EQ(CheckPlatformList("NT:5.0", WindowsFamily::kNt, Windows(5, 1)), PlatformVerdict::Qualifies);
  // NT 4.0 needs Service Pack 6.
  EXPECT_EQ(CheckPlatformList("NT:4.0:6", WindowsFamily::kNt, Windows(4, 0, 5)), PlatformVerdict::Unsupported);
  EXPECT_EQ(CheckPlatformList("NT:4.0:6", WindowsFamily::kNt, Windows(4, 0, 6)), PlatformVerdict::Qualifies);
  EXPECT_EQ(CheckPlatformList("NT:4.0:6.1", WindowsFamily::kNt, Windows(4, 0, 6, 0)), PlatformVerdict::Unsupported);
  // A higher part decides before a lower one is looked at.
  EXPECT_EQ(CheckPlatformList("NT:5.1:3", WindowsFamily::kNt, Windows(6, 0, 0)), PlatformVerdict::Qualifies);
  EXPECT_EQ(CheckPlatformList("NT:5.1:3", WindowsFamily::kNt, Windows(5, 2, 0)), PlatformVerdict::Qualifies);
  EXPECT_EQ(CheckPlatformList("NT:5.1", WindowsFamily::kNt, Windows(5, 0, 9)), PlatformVerdict::Unsupported);
  // Only the 9X entry applies to Windows 98.
  EXPECT_EQ(CheckPlatformList("NT:5.0", WindowsFamily::k9x, Windows(4, 10)), PlatformVerdict::Unsupported);
  EXPECT_EQ(CheckPlatformList("NT:5.0,9X:4.10", WindowsFamily::k9x, Windows(4, 10)), PlatformVerdict::Qualifies);
  EXPECT_EQ(CheckPlatformList("9X:4.90", WindowsFamily::k9x, Windows(4, 10)), PlatformVerdict::Unsupported);
}

TEST(PlatformList, ServicePackFromTheVersionTextWithoutTheExtendedRecord) {
  uint32_t major = 9, minor = 9;
  EXPECT_TRUE(ReadServicePackText("Service Pack 6", major, minor));
  EXPECT_EQ(major, 6u);
  EXPECT_EQ(minor, 0u);
  EXPECT_TRUE(ReadServicePackText("Service Pack 1.5", major, minor));
  EXPECT_EQ(major, 1u);
  EXPECT_EQ(minor, 5u);
  EXPECT_TRUE(ReadServicePackText(" A ", major, minor));  // Windows 98 SE
  EXPECT_EQ(major, 0u);
  EXPECT_EQ(minor, 0u);
  EXPECT_FALSE(ReadServicePackText("Service Pack 6a", major, minor));

  EXPECT_EQ(CheckPlatformList("NT:4.0:6", WindowsFamily::kNt, WindowsWithText(4, 0, "Service Pack 5")),
            PlatformVerdict::Unsupported);
  EXPECT_EQ(CheckPlatformList("NT:4.0:6", WindowsFamily::kNt, WindowsWithText(4, 0, "Service Pack 6")),
            PlatformVerdict::Qualifies);
  EXPECT_EQ(CheckPlatformList("NT:4.0:6", WindowsFamily::kNt, WindowsWithText(4, 0, "Service Pack 6a")),
            PlatformVerdict::BadNumber);
  // The text is read only when the version alone does not decide: an
  // unreadable one does not matter on a higher or lower version.
  EXPECT_EQ(CheckPlatformList("NT:4.0:6", WindowsFamily::kNt, WindowsWithText(5, 0, "Service Pack 6a")),
            PlatformVerdict::Qualifies);
  EXPECT_EQ(CheckPlatformList("NT:4.0:6", WindowsFamily::kNt, WindowsWithText(4, 1, "Service Pack 6a")),
            PlatformVerdict::Qualifies);
  EXPECT_EQ(CheckPlatformList("NT:5.0", WindowsFamily::kNt, WindowsWithText(4, 0, "Service Pack 6a")),
            PlatformVerdict::Unsupported);
  // The text is read only when the extended record is missing.
  RunningWindows extended = Windows(4, 0, 6);
  extended.csdVersion = "Service Pack 6a";
  EXPECT_EQ(CheckPlatformList("NT:4.0:6", WindowsFamily::kNt, extended), PlatformVerdict::Qualifies);
}

TEST(PlatformList, NtServerSettings) {
  for (const char* forbids : {"FALSE", "false", "No", "nO", "0"}) EXPECT_TRUE(ForbidsNtServer(forbids)) << forbids;
  for (const char* allows : {"", "TRUE", "YES", "1", "00", "N", "FALSE "}) EXPECT_FALSE(ForbidsNtServer(allows)) << allows;
  EXPECT_TRUE(IsServerProductType("ServerNT"));
  EXPECT_TRUE(IsServerProductType("LanmanNT"));
  EXPECT_FALSE(IsServerProductType("WinNT"));
  EXPECT_FALSE(IsServerProductType("servernt"));
}

TEST(WindowsFamilySpelling, OneNamePerFamilyInAnyCase) {
  for (WindowsFamily family : {WindowsFamily::k9x, WindowsFamily::kNt}) {
    EXPECT_EQ(WindowsFamilyNamed(WindowsFamilyName(family)), family) << WindowsFamilyName(family);
  }
  EXPECT_STREQ(WindowsFamilyName(WindowsFamily::k9x), "9X");
  EXPECT_STREQ(WindowsFamilyName(WindowsFamily::kNt), "NT");
  EXPECT_STREQ(WindowsFamilyName(WindowsFamily::kUnknown), "");
  EXPECT_EQ(WindowsFamilyNamed("nt"), WindowsFamily::kNt);
  EXPECT_EQ(WindowsFamilyNamed("9x"), WindowsFamily::k9x);
  for (const char* other : {"", "N", "NTX", "95", " NT", "ME"}) {
    EXPECT_EQ(WindowsFamilyNamed(other), WindowsFamily::kUnknown) << other;
  }
  // An unknown family matches no entry, not even one of an unknown name.
  PlatformRequirement r;
  EXPECT_EQ(FindPlatformRequirement("XP:5.1", WindowsFamily::kUnknown, r), PlatformVerdict::Unsupported);
  EXPECT_EQ(WindowsPlatformId(WindowsFamily::k9x), 1);
  EXPECT_EQ(WindowsPlatformId(WindowsFamily::kNt), 2);
  EXPECT_EQ(WindowsPlatformId(WindowsFamily::kUnknown), -1);
}

}  // namespace
}  // namespace kq
