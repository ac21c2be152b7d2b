#include "config/setup_command_line.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "sys/recording_platform.h"
#include "ini/memory_file_opener.h"

namespace kq {
namespace {

using testing_support::RaisedCode;
using testing_support::RecordingPlatform;

constexpr char kFolder[] = "C:\\setup\\";
constexpr char kMinimalIni[] = "[ProductInformation]\r\nPackageName=p.msi\r\n[ProductFeatures]\r\n";

class SetupCommandLineTest : public ::testing::Test {
 protected:
  SetupCommandLineTest() {
    files_.SetFile(std::string(kFolder) + "SETUP.INI", kMinimalIni);
    files_.SetFile(std::string(kFolder) + "OTHER.INI",
                   "[ProductInformation]\r\nPackageName=other.msi\r\n[ProductFeatures]\r\n");
    files_.SetFile(std::string(kFolder) + "Acme Tools\\SETUP.INI", kMinimalIni);
  }

  // Everything the fields say, as the builders and the data file name give it.
  static std::string Summary(const SetupCommandLine& line) {
    std::string text = line.GetDataFileName() + "|";
    line.AppendModeOption(text);
    line.AppendUiLevelOption(text);
    line.AppendPassThroughOptions(text);
    line.AppendLogOption(text);
    line.AppendMifOption(text);
    line.AppendProperties(text);
    line.AppendTempCopyMarker(text);
    return text;
  }

  RecordingPlatform platform_;
  MemoryFileOpener files_;
};

struct ParseCase {
  const char* arguments;
  bool accepted;
  const char* summary;  // for accepted command lines
};

TEST_F(SetupCommandLineTest, ParsesAcceptedAndRefusedCommandLines) {
  const ParseCase cases[] = {
      {"", true, "SETUP.INI|"},
      {"   ", true, "SETUP.INI|"},
      {"/i \"C:\\My Files\\p.msi\" /qb-", true, "SETUP.INI| /I \"C:\\My Files\\p.msi\" /qb-"},
      {"OTHER.INI /qn", true, "OTHER.INI| /qn"},
      // A data file whose path holds a blank comes in quotes (a nested setup's).
      {"\"Acme Tools\\SETUP.INI\" /qn", true, "Acme Tools\\SETUP.INI| /qn"},
      {"/qn OTHER.INI", true, "SETUP.INI| /qn OTHER.INI"},
      {"ALLUSERS=1 /qb", true, "SETUP.INI| /qb ALLUSERS=1"},
      {"ALLUSERS = 1", true, "SETUP.INI| ALLUSERS=1"},
      {"ALLUSERS =1", true, "SETUP.INI| ALLUSERS=1"},
      {"ALLUSERS= 1", true, "SETUP.INI| ALLUSERS=1"},
      {"allusers=1", true, "SETUP.INI| ALLUSERS=1"},
      {"TARGETDIR=\"C:\\Program Files\\X\" /qn", true,
       "SETUP.INI| /qn TARGETDIR=\"C:\\Program Files\\X\""},
      {"NAME=", true, "SETUP.INI| NAME="},
      {"FOO BAR=1", true, "SETUP.INI| FOO BAR=1"},
      {"/qn FOO", true, "SETUP.INI| /qn FOO"},
      {"REBOOT=ReallySuppress", true, "SETUP.INI| REBOOT=ReallySuppress"},
      {"REBOOT=Maybe", false, ""},
      {"REBOOT=F REBOOT=S", false, ""},
      {"REBOOT=", false, ""},
      {"/x p.msi REINSTALLMODE=vomus", false, ""},
      {"REINSTALLMODE=vomus /f p.msi", true, "SETUP.INI| /f p.msi REINSTALLMODE=vomus"},
      {"/i p.msi REINSTALLMODE=vomus", true, "SETUP.INI| /I p.msi REINSTALLMODE=vomus"},
      {"/fomus p.msi", true, "SETUP.INI| /fomus p.msi"},
      {"/x p.msi", true, "SETUP.INI| /x p.msi"},
      {"/a p.msi", true, "SETUP.INI| /a p.msi"},
      {"/p fix.msp", true, "SETUP.INI| /p fix.msp"},
      {"/p fix.msp /a p.msi", true, "SETUP.INI| /p fix.msp /a p.msi"},
      {"/a p.msi /p fix.msp", true, "SETUP.INI| /p fix.msp /a p.msi"},
      {"/j p.msi /t t.mst", true, "SETUP.INI| /j p.msi /t t.mst"},
      {"/jm p.msi /g 1033", true, "SETUP.INI| /jm p.msi /g 1033"},
      {"/g 1033 /j p.msi", true, "SETUP.INI| /j p.msi /g 1033"},
      {"/i p.msi /t t.mst", false, ""},
      {"/g 1033 /i p.msi", false, ""},
      {"/g 1033 /t t.mst", false, ""},
      {"/i a.msi /x b.msi", false, ""},
      {"/i", false, ""},
      {"/i \"p.msi", false, ""},  // an unbalanced quote in an option's word refuses it
      {"/", false, ""},
      {"/y", false, ""},
      {"/Z", false, ""},
      {"/L*v \"C:\\log file.txt\"", true, "SETUP.INI| /L*v \"C:\\log file.txt\""},
      {"/l a.log /L b.log", false, ""},
      {"/m mif.txt /i p.msi", true, "SETUP.INI| /I p.msi /m mif.txt"},
      {"/a p.msi /m mif.txt", true, "SETUP.INI| /a p.msi /m mif.txt"},
      {"/j p.msi /m mif.txt", false, ""},
      {"/m mif.txt /j p.msi", false, ""},
      {"/m mif.txt /p fix.msp", false, ""},
      {"/m a.mif /m b.mif", false, ""},
      {"/? /h /H", true, "SETUP.INI|"},
      {"/~", true, "SETUP.INI| /~"},
      {"/~-", true, "SETUP.INI| /~-"},
      {"/~ /~-", false, ""},
      {"/~x", false, ""},
      // "-" as well as "/", and Windows Installer 3.0's option words.
      {"-i p.msi -qn", true, "SETUP.INI| /I p.msi /qn"},
      {"-L*v a.log -k", true, "SETUP.INI| -k /L*v a.log"},
      {"-", false, ""},
      {"/quiet", true, "SETUP.INI| /qn"},
      {"/PASSIVE", true, "SETUP.INI| /qb-"},
      {"/norestart /qb", true, "SETUP.INI| /qb REBOOT=ReallySuppress"},
      {"-forcerestart", true, "SETUP.INI| REBOOT=Force"},
      {"/norestart REBOOT=S", false, ""},
      {"/uninstall {1234}", true, "SETUP.INI| /x {1234}"},
      {"/package p.msi /quiet", true, "SETUP.INI| /I p.msi /qn"},
      {"/package", false, ""},
      {"/log \"C:\\a b.log\"", true, "SETUP.INI| /L* \"C:\\a b.log\""},
      {"/log a.log /l b.log", false, ""},
      {"/help", true, "SETUP.INI|"},
      {"/promptrestart p.msp", true, "SETUP.INI| /p p.msp"},  // any other word as before
  };
  for (const ParseCase& c : cases) {
    SCOPED_TRACE(c.arguments);
    SetupCommandLine line(files_);
    ASSERT_EQ(line.Parse(kFolder, c.arguments), c.accepted);
    EXPECT_EQ(line.GetRefusedArgument().empty(), c.accepted);
    if (c.accepted) {
      EXPECT_EQ(Summary(line), c.summary);
      EXPECT_EQ(line.GetSetupFolder(), kFolder);
      EXPECT_TRUE(line.GetSetupDataFile().IsLoaded());
    }
  }
}

TEST_F(SetupCommandLineTest, NamesTheRefusedArgument) {
  SetupCommandLine line(files_);
  ASSERT_FALSE(line.Parse(kFolder, "/qn REBOOT=Maybe /i p.msi"));
  EXPECT_EQ(line.GetRefusedArgument(), "REBOOT=Maybe");
  ASSERT_FALSE(line.Parse(kFolder, "/qn /i"));
  EXPECT_EQ(line.GetRefusedArgument(), "/i");
  ASSERT_TRUE(line.Parse(kFolder, "/qn"));
  EXPECT_EQ(line.GetRefusedArgument(), "");
}

TEST_F(SetupCommandLineTest, ReadsUiLevelsFromEverySpellingOfQ) {
  using L = UiLevel;
  const struct {
    const char* option;
    UiLevel level;  // kNone: refused
  } cases[] = {
      {"/q", L::kQuiet},         {"/qn", L::kQuiet},          {"/QN", L::kQuiet},
      {"/qf", L::kFull},         {"/qr", L::kReduced},        {"/qb+", L::kBasicModalEnd},
      {"/QB+", L::kBasicModalEnd}, {"/Qb+", L::kBasicModalEnd}, {"/qb", L::kBasic},
      {"/qb-", L::kBasicNoModal}, {"/qn+", L::kNoneModalEnd}, {"/qx", L::kNone},
      {"/qbb", L::kNone},        {"/qn-", L::kNone},          {"-qn", L::kQuiet},
      {"-QB-", L::kBasicNoModal}, {"/QUIET", L::kQuiet},      {"-passive", L::kBasicNoModal},
      {"/quiets", L::kNone},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.option);
    SetupCommandLine line(files_);
    EXPECT_EQ(line.Parse(kFolder, c.option), c.level != L::kNone);
    EXPECT_EQ(line.GetUiLevel(), c.level);
  }
  SetupCommandLine line(files_);
  ASSERT_TRUE(line.Parse(kFolder, "/qf /qn+"));
  EXPECT_EQ(line.GetUiLevel(), L::kNoneModalEnd);  // a later /q replaces an earlier one
}

TEST_F(SetupCommandLineTest, SetsModesAndRebootModes) {
  const struct {
    const char* arguments;
    InstallMode installMode;
    RebootMode rebootMode;
    const char* reinstallMode;
  } cases[] = {
      {"/i p.msi", InstallMode::kInstall, RebootMode::kNone, ""},
      {"/fa p.msi", InstallMode::kRepair, RebootMode::kNone, ""},
      {"/x p.msi", InstallMode::kUninstall, RebootMode::kNone, ""},
      {"/j p.msi", InstallMode::kAdvertise, RebootMode::kNone, ""},
      {"/a p.msi", InstallMode::kAdministrative, RebootMode::kNone, ""},
      {"/p x.msp", InstallMode::kPatch, RebootMode::kNone, ""},
      {"/a p.msi /p x.msp", InstallMode::kAdministrativePatch, RebootMode::kNone, ""},
      {"REBOOT=Force", InstallMode::kDefault, RebootMode::kForce, ""},
      {"reboot=s", InstallMode::kDefault, RebootMode::kSuppress, ""},
      {"REBOOT=r", InstallMode::kDefault, RebootMode::kReallySuppress, ""},
      {"/norestart", InstallMode::kDefault, RebootMode::kReallySuppress, ""},
      {"REBOOT=\"\"", InstallMode::kDefault, RebootMode::kEmpty, ""},
      {"MYREBOOT=S", InstallMode::kDefault, RebootMode::kNone, ""},  // another property
      {"REINSTALLMODE=amus", InstallMode::kDefault, RebootMode::kNone, "amus"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.arguments);
    SetupCommandLine line(files_);
    ASSERT_TRUE(line.Parse(kFolder, c.arguments));
    EXPECT_EQ(line.GetInstallMode(), c.installMode);
    EXPECT_EQ(line.GetRebootMode(), c.rebootMode);
    EXPECT_EQ(line.GetReinstallMode(), c.reinstallMode);
  }
}

TEST_F(SetupCommandLineTest, RefusedCommandLineLeavesTheResetState) {
  SetupCommandLine line(files_);
  line.SetTempCopyState(TempCopyState::kRunningFromCopy);
  line.KeepTempCopy();
  ASSERT_FALSE(line.Parse(kFolder, "OTHER.INI /i p.msi /L*v l.txt /m m.mif /qb A=1 /~ REBOOT=Maybe"));
  EXPECT_EQ(Summary(line), "|");
  EXPECT_EQ(line.GetSetupFolder(), "");
  EXPECT_EQ(line.GetInstallMode(), InstallMode::kDefault);
  EXPECT_EQ(line.GetUiLevel(), UiLevel::kNone);
  EXPECT_EQ(line.GetTempCopyState(), TempCopyState::kNotYet);
  line.SetTempCopyState(TempCopyState::kRunningFromCopy);
  EXPECT_TRUE(line.RemovesTempCopy()) << "the flag to keep the copy is reset with the rest";
  EXPECT_EQ(line.GetRebootMode(), RebootMode::kNone);
  EXPECT_TRUE(line.GetPackagePath().empty());
  EXPECT_TRUE(line.GetProperties().empty());
  EXPECT_FALSE(line.GetSetupDataFile().IsLoaded());
  EXPECT_EQ(line.GetSetupDataFile().GetSourceFolder(), "");
}

TEST_F(SetupCommandLineTest, ProbesOnlyTheFirstWordAsDataFile) {
  SetupCommandLine line(files_);
  ASSERT_TRUE(line.Parse(kFolder, "OTHER.INI"));
  EXPECT_EQ(line.GetDataFileName(), "OTHER.INI");
  EXPECT_EQ(line.GetSetupDataFile().GetPackageName(), "other.msi");

  ASSERT_TRUE(line.Parse(kFolder, "MISSING.INI"));
  EXPECT_EQ(line.GetDataFileName(), "SETUP.INI");
  EXPECT_EQ(line.GetSetupDataFile().GetPackageName(), "p.msi");
  EXPECT_EQ(line.GetPassThroughOptions(), std::vector<std::string>{"MISSING.INI"});
  // The failed probe leaves its log lines but shows no box.
  EXPECT_TRUE(platform_.Boxes().empty());
  const std::vector<std::string>& log = platform_.LogLines();
  EXPECT_NE(std::find(log.begin(), log.end(), "Loading setup data file: C:\\setup\\MISSING.INI"), log.end());
}

TEST_F(SetupCommandLineTest, RaisesInternalErrorsForMissingInputsAndUnbalancedQuotes) {
  SetupCommandLine line(files_);
  EXPECT_EQ(RaisedCode([&] { line.Parse(nullptr, ""); }), kErrorPointer);
  EXPECT_EQ(RaisedCode([&] { line.Parse(kFolder, nullptr); }), kErrorPointer);
  EXPECT_EQ(RaisedCode([&] { line.Parse("", "/qn"); }), kErrorPointer);
  EXPECT_EQ(RaisedCode([&] { line.Parse(kFolder, "/qn \"unbalanced quote"); }), kErrorTokenize);
  ASSERT_FALSE(platform_.Boxes().empty());
  EXPECT_EQ(platform_.Boxes().back().text, "Error Code: 0017.8004006B");
  const std::vector<std::string>& log = platform_.LogLines();
  ASSERT_GE(log.size(), 3u);
  EXPECT_EQ(log[log.size() - 3],
            "The command line cannot be split into words: a double quote is not closed in: \"unbalanced quote");

  SetupCommandLine unparsed(files_);
  EXPECT_EQ(RaisedCode([&] { unparsed.LoadDataFile("SETUP.INI"); }), kErrorPointer);
  unparsed.SetSetupFolder(kFolder);
  EXPECT_EQ(RaisedCode([&] { unparsed.LoadDataFile(""); }), kErrorPointer);
}

TEST_F(SetupCommandLineTest, MissingSetupIniEndsTheRunWithFileNotFound) {
  MemoryFileOpener empty;
  SetupCommandLine line(empty);
  EXPECT_EQ(RaisedCode([&] { line.Parse(kFolder, "/qb"); }), 2u);
  ASSERT_EQ(platform_.Boxes().size(), 1u);
  EXPECT_EQ(platform_.Boxes()[0].text, "Error Code: 0001.00000002");
}

TEST_F(SetupCommandLineTest, ParsesCommandLinesOfAnyLength) {
  std::string arguments = "/i p.msi";
  for (int i = 0; i < 5000; ++i) arguments += " P" + std::to_string(i) + "=\"value number " + std::to_string(i) + "\"";
  SetupCommandLine line(files_);
  ASSERT_TRUE(line.Parse(kFolder, arguments.c_str()));
  ASSERT_EQ(line.GetProperties().size(), 5000u);
  EXPECT_EQ(line.GetProperties().back(), "P4999=\"value number 4999\"");
  std::string rebuilt;
  line.AppendProperties(rebuilt);
  EXPECT_EQ("/i p.msi" + rebuilt, arguments);
}

TEST_F(SetupCommandLineTest, BuildsTheOptionTextsOfEveryField) {
  SetupCommandLine line(files_);
  std::string none;
  line.AppendModeOption(none);
  line.AppendUiLevelOption(none);
  line.AppendLogOption(none);
  line.AppendMifOption(none);
  line.AppendTempCopyMarker(none);
  EXPECT_EQ(none, "");

  ASSERT_TRUE(line.Parse(kFolder, "/g 1033"));
  std::string languageWithoutMode;
  line.AppendModeOption(languageWithoutMode);
  EXPECT_EQ(languageWithoutMode, "");  // only /j carries the language on

  line.SetTempCopyState(TempCopyState::kNone);
  std::string marker = "x";
  line.AppendTempCopyMarker(marker);
  EXPECT_EQ(marker, "x /~-");
}

TEST_F(SetupCommandLineTest, SetSetupFolderReachesTheDataFile) {
  SetupCommandLine line(files_);
  ASSERT_TRUE(line.Parse(kFolder, ""));
  line.SetSetupFolder("C:\\TEMP\\KIES0001\\");
  EXPECT_EQ(line.GetSetupFolder(), "C:\\TEMP\\KIES0001\\");
  EXPECT_EQ(line.GetSetupDataFile().GetSourceFolder(), "C:\\TEMP\\KIES0001\\");
  line.SetSetupFolder(nullptr);
  EXPECT_EQ(line.GetSetupFolder(), "");
  EXPECT_EQ(line.GetSetupDataFile().GetSourceFolder(), "");
}

}  // namespace
}  // namespace kq
