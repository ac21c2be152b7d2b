// Loads real SETUP.INI files from a temporary folder: through stdio on the
// host and through the Win32 file calls under Wine.
#include "config/setup_data_file.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>

#include "sys/format.h"
#include "sys/recording_platform.h"

namespace kq {
namespace {

using testing_support::RaisedCode;
using testing_support::RecordingPlatform;

class SetupDataFileTest : public ::testing::Test {
 protected:
  SetupDataFileTest() {
    const auto base = std::filesystem::temp_directory_path() /
                      ("kq_setup_data_" + std::to_string(reinterpret_cast<uintptr_t>(this)));
    std::filesystem::create_directories(base);
    dir_ = base;
    folder_ = base.string();
    folder_ += static_cast<char>(std::filesystem::path::preferred_separator);
  }
  ~SetupDataFileTest() override {
    std::error_code ignored;
    std::filesystem::remove_all(dir_, ignored);
  }

  void Write(const char* name, const std::string& content) {
    std::FILE* f = std::fopen((folder_ + name).c_str(), "wb");
    ASSERT_NE(f, nullptr);
    ASSERT_EQ(std::fwrite(content.data(), 1, content.size(), f), content.size());
    std::fclose(f);
  }

  // Loads `content` as SETUP.INI and gives the code the load raised, or 0.
  uint32_t LoadCode(const std::string& content) {
    Write("SETUP.INI", content);
    return RaisedCode([&] {
      file_.Load(folder_, "SETUP.INI", false);
      RaiseSetupExitCode(0);
    });
  }

  RecordingPlatform platform_;
  std::filesystem::path dir_;
  std::string folder_;
  SetupDataFile file_;
};

TEST_F(SetupDataFileTest, MinimalFileLoadsWithEverythingElseEmpty) {
  ASSERT_EQ(LoadCode("[ProductInformation]\r\nPackageName = product.msi \r\n[ProductFeatures]\r\n"), 0u);
  EXPECT_TRUE(file_.IsLoaded());
  EXPECT_EQ(file_.GetSourceFolder(), folder_);
  EXPECT_EQ(file_.GetPackageName(), "product.msi");  // blanks around the value removed
  for (const std::string* value : {&file_.GetCheckRegKey(), &file_.GetPlatforms(), &file_.GetNestedInstall(),
                                   &file_.GetMsiVersion(), &file_.GetAllowNTServer(),
                                   &file_.Get9xMsiInstaller(), &file_.GetNTMsiInstaller(),
                                   &file_.Get9xMsiInstallerSHA256(), &file_.GetNTMsiInstallerSHA256()}) {
    EXPECT_EQ(*value, "");
  }
  EXPECT_EQ(file_.GetNestedInstallValue(), nullptr);
  EXPECT_EQ(file_.GetMsiVersionValue(), nullptr);
  for (const StringList* list : {&file_.GetProductFeatures(), &file_.GetPreviousVersionUninstall(),
                                 &file_.GetShutdownApplication(), &file_.GetIncompatibleAppExit(),
                                 &file_.GetIncompatibleAppUninstall(), &file_.GetUpgradeConditions(),
                                 &file_.GetLaunchApplications()}) {
    EXPECT_TRUE(list->empty());
  }
  ASSERT_FALSE(platform_.LogLines().empty());
  EXPECT_EQ(platform_.LogLines()[0], "Loading setup data file: " + folder_ + "SETUP.INI");
}

TEST_F(SetupDataFileTest, ReadsEveryKeyAndList) {
  ASSERT_EQ(LoadCode("[ProductInformation]\r\n"
                     "PackageName=p.msi\r\nCheckRegKey=HKLM,SOFTWARE\\Korvane,Installed\r\n"
                     "Platforms=NT:5.0:3,9X:4.10\r\nNestedInstall={GUID},sub\\setup.ini,ONEREBOOT\r\n"
                     "MsiVersion=2.0\r\nAllowNTServer=No\r\n9xMsiInstaller=http://h/a.exe\r\n"
                     "NTMsiInstaller=http://h/w.exe\r\n9xMsiInstallerSHA256= 00ff \r\nNTMsiInstallerSHA256=AB\r\n"
                     "[ProductFeatures]\r\nMain\r\n\r\n; a comment line\r\nkey = Help \r\n"
                     "[ShutdownApplication]\r\nNotepad,5000\r\n"
                     "[UpgradeConditions]\r\nKey,1.0-2.0,REMOVE\r\n"
                     "[PreviousVersionUninstall]\r\n{OLD}\r\n[IncompatibleAppExit]\r\nA\r\n"
                     "[IncompatibleAppUninstall]\r\nB\r\n[LaunchApplications]\r\n{COMP},/x\r\n"
                     "[ProductFeatures]\r\nExtra\r\n"),
            0u);
  EXPECT_EQ(file_.GetCheckRegKey(), "HKLM,SOFTWARE\\Korvane,Installed");
  EXPECT_EQ(file_.GetPlatforms(), "NT:5.0:3,9X:4.10");
  EXPECT_EQ(file_.GetNestedInstall(), "{GUID},sub\\setup.ini,ONEREBOOT");
  ASSERT_NE(file_.GetNestedInstallValue(), nullptr) << "read once, at the load";
  EXPECT_EQ(file_.GetNestedInstallValue()->arguments, "sub\\setup.ini");
  EXPECT_TRUE(file_.GetNestedInstallValue()->oneReboot);
  EXPECT_EQ(file_.GetMsiVersion(), "2.0");
  ASSERT_NE(file_.GetMsiVersionValue(), nullptr) << "read once, at the load";
  EXPECT_EQ(file_.GetMsiVersionValue()->major, 2u);
  EXPECT_EQ(file_.GetAllowNTServer(), "No");
  EXPECT_EQ(file_.Get9xMsiInstaller(), "http://h/a.exe");
  EXPECT_EQ(file_.GetNTMsiInstaller(), "http://h/w.exe");
  EXPECT_EQ(file_.Get9xMsiInstallerSHA256(), "00ff");
  EXPECT_EQ(file_.GetNTMsiInstallerSHA256(), "AB");
  // Key lines give their value, blank lines nothing, comments their whole
  // text, and a second header of the section continues the list.
  EXPECT_EQ(file_.GetProductFeatures(), (StringList{"Main", "; a comment line", "Help", "Extra"}));
  EXPECT_EQ(file_.GetShutdownApplication(), StringList{"Notepad,5000"});
  EXPECT_EQ(file_.GetUpgradeConditions(), StringList{"Key,1.0-2.0,REMOVE"});
  EXPECT_EQ(file_.GetPreviousVersionUninstall(), StringList{"{OLD}"});
  EXPECT_EQ(file_.GetIncompatibleAppExit(), StringList{"A"});
  EXPECT_EQ(file_.GetIncompatibleAppUninstall(), StringList{"B"});
  EXPECT_EQ(file_.GetLaunchApplications(), StringList{"{COMP},/x"});
  file_.AppendPreviousVersionUninstall("{NEW}");
  EXPECT_EQ(file_.GetPreviousVersionUninstall(), (StringList{"{OLD}", "{NEW}"}));
}

// Each failure says why in the log, just before the internal error's lines.
TEST_F(SetupDataFileTest, FailuresEndTheRunWithLocationOneAndTheirCodeAndReason) {
  const std::string file = "The setup data file \"" + folder_ + "SETUP.INI\"";
  const std::string ini = "[ProductInformation]\r\nPackageName=p.msi\r\n[ProductFeatures]\r\n";
  std::u16string wide(ini.begin(), ini.end());
  std::string bigEndian = "\xFE\xFF";
  for (char16_t unit : wide) bigEndian += {static_cast<char>(unit >> 8), static_cast<char>(unit & 0xFF)};
  const struct {
    std::string content;
    uint32_t code;
    std::string reason;
  } cases[] = {
      {"[ProductInformation]\r\npackagename=p.msi\r\n[ProductFeatures]\r\n", 0x80040066u,
       file + " has no PackageName key in [ProductInformation]: it names the package to install (key names are "
              "case-sensitive)"},
      {"[ProductFeatures]\r\n", 0x80040065u,
       file + " has no [ProductInformation] section, which names the package (section and key names are "
              "case-sensitive)"},
      {bigEndian, 0x80040065u,
       file + " is big-endian UTF-16 text, which this setup does not read: save it as ANSI, UTF-8 or UTF-16 "
              "little-endian text"},
      {"[ProductInformation]\r\nPackageName=p.msi\r\n", 0x80040065u,
       file + " has no [ProductFeatures] section, which lists the features to install (section names are "
              "case-sensitive)"},
      {"[ProductInformation]\r\nPackageName=p.msi\r\n[productfeatures]\r\n", 0x80040065u,
       file + " has no [ProductFeatures] section, which lists the features to install (section names are "
              "case-sensitive)"},
      {"; a comment\r\n[ProductInformation\r\n", 13u,
       file + " cannot be read: line 2, \"[ProductInformation\": Improperly formed section name."},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.reason);
    EXPECT_EQ(LoadCode(c.content), c.code);
    EXPECT_FALSE(file_.IsLoaded());
    ASSERT_FALSE(platform_.Boxes().empty());
    EXPECT_EQ(platform_.Boxes().back().caption, "Internal Error");
    EXPECT_EQ(platform_.Boxes().back().text, Format("Error Code: 0001.%08X", c.code));
    const std::vector<std::string>& log = platform_.LogLines();
    ASSERT_GE(log.size(), 3u);
    EXPECT_EQ(log[log.size() - 3], c.reason);
    EXPECT_EQ(log[log.size() - 2], "Internal Error");
  }
}

// A file beyond 1 MB is refused before the parser holds it; one of exactly
// 1 MB loads, however long its lines are.
TEST_F(SetupDataFileTest, SetupDataOverOneMegabyteIsRefused) {
  constexpr size_t kLimit = 1024 * 1024;
  const std::string filler = "; " + std::string(1000, 'x') + "\r\n";
  std::string fits = "[ProductInformation]\r\nPackageName=p.msi\r\n[ProductFeatures]\r\n";
  while (kLimit - fits.size() > 2 * filler.size()) fits += filler;
  fits += "; " + std::string(kLimit - fits.size() - 4, 'y') + "\r\n";
  ASSERT_EQ(fits.size(), kLimit);
  EXPECT_EQ(LoadCode(fits), 0u);
  EXPECT_EQ(LoadCode(fits + ";"), 223u);  // ERROR_FILE_TOO_LARGE at 1,048,577 bytes
  EXPECT_FALSE(file_.IsLoaded());
  EXPECT_EQ(platform_.Boxes().back().text, "Error Code: 0001.000000DF");
  bool named = false;
  for (const std::string& line : platform_.LogLines()) named |= line.find("is larger than 1 MB") != std::string::npos;
  EXPECT_TRUE(named);
}

TEST_F(SetupDataFileTest, MissingFileEndsTheRunUnlessProbing) {
  EXPECT_EQ(RaisedCode([&] { file_.Load(folder_, "NONE.INI", false); }), 2u);
  const std::vector<std::string> log = platform_.LogLines();
  ASSERT_EQ(log.size(), 5u);  // load line, the INI library's message, the reason, then the internal error
  EXPECT_EQ(log[2], "The setup data file \"" + folder_ + "NONE.INI\" cannot be read: it does not exist");
  EXPECT_EQ(log[3], "Internal Error");
  EXPECT_EQ(log[4], "Error Code: 0001.00000002");

  Write("SETUP.INI", "[ProductInformation]\r\nPackageName=p.msi\r\n[ProductFeatures]\r\n");
  ASSERT_TRUE(file_.Load(folder_, "SETUP.INI", true));
  EXPECT_FALSE(file_.Load(folder_, "NONE.INI", true));
  EXPECT_FALSE(file_.IsLoaded());
  EXPECT_EQ(file_.GetSourceFolder(), "");
  EXPECT_EQ(platform_.Boxes().size(), 1u);  // only the non-probing failure showed one
  // A probe still ends the run for setup data that is there but wrong.
  Write("BAD.INI", "[ProductInformation]\r\n[ProductFeatures]\r\n");
  EXPECT_EQ(RaisedCode([&] { file_.Load(folder_, "BAD.INI", true); }), 0x80040066u);
}

TEST_F(SetupDataFileTest, AccessorsBeforeALoadEndTheRunWithLocation24) {
  EXPECT_EQ(RaisedCode([&] { file_.GetPackageName(); }), 0x80070005u);
  EXPECT_EQ(RaisedCode([&] { file_.GetLaunchApplications(); }), 0x80070005u);
  EXPECT_EQ(RaisedCode([&] { file_.AppendPreviousVersionUninstall("x"); }), 0x80070005u);
  ASSERT_EQ(LoadCode("[ProductInformation]\r\nPackageName=p.msi\r\n[ProductFeatures]\r\nF\r\n"), 0u);
  file_.Clear();
  EXPECT_EQ(RaisedCode([&] { file_.GetProductFeatures(); }), 0x80070005u);
  EXPECT_EQ(platform_.Boxes().back().text, "Error Code: 0018.80070005");
}

TEST_F(SetupDataFileTest, SetSourceFolderReplacesOrEmptiesIt) {
  file_.SetSourceFolder("D:\\copy\\");
  EXPECT_EQ(file_.GetSourceFolder(), "D:\\copy\\");
  file_.SetSourceFolder(nullptr);
  EXPECT_EQ(file_.GetSourceFolder(), "");
}

}  // namespace
}  // namespace kq
