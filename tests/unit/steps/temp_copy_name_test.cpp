// Which folders the end of a run may delete: a table over the name rule and
// the parent folder, with a double-byte case where a trail byte looks like a
// letter or a backslash.
#include "steps/temp_copy.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

struct Case {
  const char* name;
  const char* folder;
  const char* temp;
  unsigned codePage;
  bool deletable;
};

TEST(TempCopyFolder, OnlyKiesFoldersDirectlyInsideTheTemporaryFolder) {
  const Case cases[] = {
      {"made by CreateTempFolder", "C:\\Users\\Ann\\Temp\\KIES1A2F\\", "C:\\Users\\Ann\\Temp\\", 0, true},
      {"without trailing backslashes", "C:\\Users\\Ann\\Temp\\KIES1A2F", "C:\\Users\\Ann\\Temp", 0, true},
      {"case of letters differs", "c:\\users\\ann\\temp\\kies1a2f\\", "C:\\Users\\Ann\\Temp\\", 0, true},
      {"the folder the program was started from", "C:\\Users\\Ann\\Downloads\\", "C:\\Users\\Ann\\Temp\\", 0,
       false},
      {"a network share", "\\\\server\\share\\product\\", "C:\\Users\\Ann\\Temp\\", 0, false},
      {"the temporary folder itself", "C:\\Users\\Ann\\Temp\\", "C:\\Users\\Ann\\Temp\\", 0, false},
      {"a KIES folder one level deeper", "C:\\Users\\Ann\\Temp\\x\\KIES1A2F\\", "C:\\Users\\Ann\\Temp\\", 0,
       false},
      {"a KIES folder elsewhere", "D:\\KIES1A2F\\", "C:\\Users\\Ann\\Temp\\", 0, false},
      {"not hexadecimal", "C:\\Temp\\KIES12G4\\", "C:\\Temp\\", 0, false},
      {"five digits", "C:\\Temp\\KIES12345\\", "C:\\Temp\\", 0, false},
      {"three digits", "C:\\Temp\\KIES123\\", "C:\\Temp\\", 0, false},
      {"another prefix", "C:\\Temp\\KIED1234\\", "C:\\Temp\\", 0, false},
      {"no temporary folder known", "C:\\Temp\\KIES1234\\", "", 0, false},
      {"a bare name", "KIES1234", "C:\\Temp\\", 0, false},
      // 0x95 0x5C is one character in code page 932 whose trail byte is a backslash.
      {"double-byte temporary folder", "C:\\\x95\x5C\\KIES0001\\", "C:\\\x95\x5C\\", 932, true},
      // 0x82 0x61 and 0x82 0x41 are different characters; the trail bytes are
      // not letters to fold.
      {"trail bytes compare exactly", "C:\\\x82\x61\\KIES0001\\", "C:\\\x82\x41\\", 932, false},
      {"single-byte letters still fold", "C:\\\x82\x61\\KIES0001\\", "C:\\\x82\x41\\", 1252, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(IsTempCopyFolder(c.folder, c.temp, c.codePage), c.deletable) << c.name;
  }
}

}  // namespace
}  // namespace kq
