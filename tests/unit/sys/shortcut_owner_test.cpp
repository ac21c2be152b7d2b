// Whose a resume shortcut is, told by its tag: the data file it names,
// letter case aside.
#include "sys/shortcut_owner.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

TEST(ShortcutOwner, ATagNamesItsDataFileWhateverTheLetterCase) {
  EXPECT_TRUE(TagNamesDataFile("SETUP.INI.Intermediate", "SETUP.INI"));
  EXPECT_TRUE(TagNamesDataFile("setup.ini.Final", "SETUP.INI"));
  EXPECT_TRUE(TagNamesDataFile("SUB\\Setup.Ini.Final", "sub\\SETUP.INI"));
  EXPECT_FALSE(TagNamesDataFile("OTHER.INI.Final", "SETUP.INI"));
  EXPECT_FALSE(TagNamesDataFile("SETUP.INI", "SETUP.INI")) << "a tag without its kind names \"SETUP\"";

  const TagClassifier ours = ClassifyByTag("SETUP.INI.Intermediate");
  EXPECT_EQ(ours("C:\\any\\SETUP.EXE", "Setup.ini.Final"), ShortcutOwner::kThisSetup);
  EXPECT_EQ(ours("C:\\any\\SETUP.EXE", "OTHER.INI.Final"), ShortcutOwner::kAnotherSetup);
}

}  // namespace
}  // namespace kq
