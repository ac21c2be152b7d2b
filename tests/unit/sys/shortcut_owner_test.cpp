// Whose a resume shortcut is, told by its tag: the data file it names,
// letter case aside.
#include "sys/shortcut_owner.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

TEST(ShortcutOwner, ATagNamesItsDataFileWhateverTheLetterCase) {
  const struct {
    const char* description;
    const char* dataFile;
    bool names;
  } cases[] = {
      {"SETUP.INI.Intermediate", "SETUP.INI", true},
      {"setup.ini.Final", "SETUP.INI", true},
      {"SUB\\Setup.Ini.Final", "sub\\SETUP.INI", true},
      {"OTHER.INI.Final", "SETUP.INI", false},
      {"SETUP.INI", "SETUP.INI", false},  // no kind after the data file: "SETUP" is named
      {"", "SETUP.INI", false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(TagNamesDataFile(c.description, c.dataFile), c.names) << c.description << " / " << c.dataFile;
  }
  EXPECT_EQ(TagDataFile("SUB\\A.INI.Final"), "SUB\\A.INI");
  EXPECT_EQ(TagDataFile("NODOT"), "NODOT");

  const ShortcutClassifier ours = ClassifyByTag("SETUP.INI.Intermediate");
  EXPECT_EQ(ours("C:\\any\\SETUP.EXE", "Setup.ini.Final"), ShortcutOwner::kThisSetup);
  EXPECT_EQ(ours("C:\\any\\SETUP.EXE", "OTHER.INI.Final"), ShortcutOwner::kAnotherSetup);
}

}  // namespace
}  // namespace kq
