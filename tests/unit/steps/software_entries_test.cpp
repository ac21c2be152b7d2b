#include "steps/software_entries.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

std::string Shutdown(const char* entry) {
  ShutdownEntry s;
  s.waitMs = 77;
  if (!ReadShutdownEntry(entry, s)) return "refused";
  return s.windowClass + "|" + std::to_string(s.waitMs) + "|" + std::to_string(s.message) + "|" +
         std::to_string(s.wParam) + "|" + std::to_string(s.lParam);
}

TEST(SoftwareEntries, ShutdownApplicationFields) {
  struct Case {
    const char* entry;
    const char* read;
  } const cases[] = {
      {"AppMainWindow", "AppMainWindow|0|0|0|0"},
      {"AppMainWindow,5000,273,57665,0", "AppMainWindow|5000|273|57665|0"},
      {" AppMainWindow , 5000 ", "AppMainWindow|5000|0|0|0"},
      {"\"Main, Window\",250", "Main, Window|250|0|0|0"},
      {"Cls,100,x,5,6", "Cls|100|0|0|0"},          // reading stops at the first bad number
      {"Cls,,16,5", "Cls|0|0|0|0"},                // an empty number stops it too
      {"Cls,-1,0,-2", "Cls|-1|0|-2|0"},
      {"Cls,4294967295", "Cls|-1|0|0|0"},          // ParseInteger wraps at 32 bits
      {"Cls,1,2,3,4,5,6", "Cls|1|2|3|4"},
      {"", "refused"},
      {",5000", "refused"},
      {"\"\",5000", "refused"},
      {"\"Cls,5000", "refused"},
  };
  for (const Case& c : cases) EXPECT_EQ(Shutdown(c.entry), c.read) << c.entry;
}

TEST(SoftwareEntries, NextNumberFieldTakesOneFieldWhateverItHolds) {
  std::string rest = "12, x ,-3,,7";
  int n = 99;
  EXPECT_TRUE(NextNumberField(rest, n));
  EXPECT_EQ(n, 12);
  EXPECT_FALSE(NextNumberField(rest, n));
  EXPECT_EQ(n, 12) << "a refused field leaves the number alone";
  EXPECT_EQ(rest, "-3,,7") << "but is taken off the text";
  EXPECT_TRUE(NextNumberField(rest, n));
  EXPECT_EQ(n, -3);
  EXPECT_FALSE(NextNumberField(rest, n));
  EXPECT_TRUE(NextNumberField(rest, n));
  EXPECT_EQ(n, 7);
  EXPECT_FALSE(NextNumberField(rest, n));
}

TEST(SoftwareEntries, PollIntervalIsATenthOfTheWait) {
  EXPECT_EQ(ShutdownPollInterval(0), 100u);
  EXPECT_EQ(ShutdownPollInterval(9), 100u);
  EXPECT_EQ(ShutdownPollInterval(10), 1u);
  EXPECT_EQ(ShutdownPollInterval(5000), 500u);
  // A negative wait is no wait of 49 days.
  EXPECT_EQ(ShutdownPollInterval(-1), 100u);
}

TEST(SoftwareEntries, UpgradeEntriesSplitFieldByField) {
  struct Case {
    const char* entry;
    int fields;
    const char* key;
    const char* ranges;
    const char* action;
  };
  const Case cases[] = {
      {"{A},1.0-1.9,REMOVE", 3, "{A}", "1.0-1.9", "REMOVE"},
      {"\"{A}\",\"1.0;2.0\",", 3, "{A}", "1.0;2.0", ""},
      {"{A},1.0", 3, "{A}", "1.0", ""},  // a missing field is an empty one
      {"{A},1.0,\"open", 2, "{A}", "1.0", ""},
      {"{A},x\"y\",LEAVE", 1, "{A}", "", ""},  // quoted text after unquoted text
      {"\"{A}", 0, "", "", ""},
  };
  for (const Case& c : cases) {
    const UpgradeEntry read = ReadUpgradeEntry(c.entry);
    EXPECT_EQ(read.fields, c.fields) << c.entry;
    EXPECT_EQ(read.uninstallKey, c.key) << c.entry;
    EXPECT_EQ(read.ranges, c.ranges) << c.entry;
    EXPECT_EQ(read.action, c.action) << c.entry;
  }
}

TEST(SoftwareEntries, UpgradeActions) {
  EXPECT_EQ(ReadUpgradeAction(""), UpgradeAction::kLeave);
  EXPECT_EQ(ReadUpgradeAction("LEAVE"), UpgradeAction::kLeave);
  EXPECT_EQ(ReadUpgradeAction("leave"), UpgradeAction::kLeave);
  EXPECT_EQ(ReadUpgradeAction("Remove"), UpgradeAction::kRemove);
  EXPECT_EQ(ReadUpgradeAction("REMOVES"), UpgradeAction::kInvalid);
  EXPECT_EQ(ReadUpgradeAction("DELETE"), UpgradeAction::kInvalid);
}

TEST(SoftwareEntries, CheckRegKeyFieldsAndRoots) {
  RegistryKeyCheck c;
  ASSERT_TRUE(ReadRegistryKeyCheck("HKLM,Software\\X,Path", c));
  EXPECT_EQ(c.root + "|" + c.subkey + "|" + c.valueName, "HKLM|Software\\X|Path");
  ASSERT_TRUE(ReadRegistryKeyCheck("HKCU, \"Software\\A,B\"", c));
  EXPECT_EQ(c.root + "|" + c.subkey + "|" + c.valueName, "HKCU|Software\\A,B|");
  ASSERT_TRUE(ReadRegistryKeyCheck("HKCU,Software\\X,", c));
  EXPECT_EQ(c.valueName, "");
  EXPECT_FALSE(ReadRegistryKeyCheck("HKLM,Software\\\"X,Path", c));
  EXPECT_FALSE(ReadRegistryKeyCheck("HKLM,Software\\X,\"Path", c));

  const std::pair<const char*, RegistryRoot> roots[] = {
      {"HKCR", RegistryRoot::kClassesRoot},   {"HKEY_CLASSES_ROOT", RegistryRoot::kClassesRoot},
      {"HKCC", RegistryRoot::kCurrentConfig}, {"HKEY_CURRENT_CONFIG", RegistryRoot::kCurrentConfig},
      {"HKCU", RegistryRoot::kCurrentUser},   {"HKEY_CURRENT_USER", RegistryRoot::kCurrentUser},
      {"HKLM", RegistryRoot::kLocalMachine},  {"HKEY_LOCAL_MACHINE", RegistryRoot::kLocalMachine},
      {"HKU", RegistryRoot::kUsers},          {"HKEY_USERS", RegistryRoot::kUsers},
      {"hklm", RegistryRoot::kUnknown},       {"HKEY_Local_Machine", RegistryRoot::kUnknown},
      {"", RegistryRoot::kUnknown},           {"HKLM ", RegistryRoot::kUnknown},
  };
  for (const auto& r : roots) EXPECT_EQ(ReadRegistryRoot(r.first), r.second) << r.first;
}

}  // namespace
}  // namespace kq
