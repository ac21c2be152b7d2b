// The names the checker derives: a data file's folder on the medium, in the
// target code page, and the near misses of the names SETUP.EXE reads.
#include <gtest/gtest.h>

#include "check/closest_name.h"
#include "check/medium_folder.h"
#include "text/ansi_code_page.h"

namespace kq {
namespace {

// The target code page for one test, restored after it.
class TargetCodePage {
 public:
  explicit TargetCodePage(unsigned codePage) { SetTextCodePage(codePage); }
  ~TargetCodePage() { SetTextCodePage(0); }
};

TEST(MediumNames, ADataFilesFolderEndsOnlyAtARealBackslash) {
  const std::string so = "\x83\x5C";  // ソ in 932: its second byte is 0x5C
  const struct {
    unsigned codePage;
    std::string relative;
    std::string folder;
  } cases[] = {
      {1252, "SETUP.INI", ""},
      {1252, "Lang/DE.INI", "Lang\\"},
      {1252, "a\\b\\C.INI", "a\\b\\"},
      {932, so + ".INI", ""},                       // no folder: 0x5C is inside ソ
      {932, "Kit\\" + so + ".INI", "Kit\\"},
      {932, so + "\\SETUP.INI", so + "\\"},
      {1252, so + ".INI", "\x83\\"},                // in 1252 the same byte is a backslash
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.relative);
    TargetCodePage target(c.codePage);
    EXPECT_EQ(RelativeFolder(c.relative), c.folder);
  }
}

TEST(MediumNames, NearMissesOfTheNamesTheLoaderReads) {
  EXPECT_EQ(NearMissName("PackageNmae", KnownInformationKeys()), "PackageName");
  EXPECT_EQ(NearMissName("packagename", KnownInformationKeys()), "PackageName");
  EXPECT_EQ(NearMissName("NTMsiInstallerSHA265", KnownInformationKeys()), "NTMsiInstallerSHA256");
  EXPECT_EQ(NearMissName("UpgradeCondition", KnownSections()), "UpgradeConditions");
  EXPECT_EQ(NearMissName("Features", KnownSections()), "");
  EXPECT_EQ(KnownSections().size(), 8u);
  EXPECT_EQ(KnownInformationKeys().size(), 10u);
}

}  // namespace
}  // namespace kq
