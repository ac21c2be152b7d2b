// The engine's steps that need no message box, under Wine (Windows XP and
// Windows 98). Internal errors are recorded, not shown.
#include "steps/setup_engine.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

#include "sys/recording_platform.h"
#include "config/setup_command_line.h"
#include "ini/memory_file_opener.h"
#include "sys/test_support.h"
#include "sys/format.h"
#include "sys/scoped_handle.h"

namespace kq {
namespace {

using testing_support::RaisedCode;
using testing_support::RecordingPlatform;

const bool kLogOn = (test::EnableSetupLog(), true);

std::string Ini(const std::string& productInformation, const std::string& more = "") {
  return "[ProductInformation]\r\nPackageName=Product.msi\r\n" + productInformation +
         "[ProductFeatures]\r\nMain\r\n" + more;
}

class SetupEngineTest : public ::testing::Test {
 protected:
  SetupEngineTest() : engine_(nullptr, endSession_.Get()) {}

  // Attaches a command line parsed from `arguments` with `ini` as the
  // data file of the engine's setup folder.
  SetupCommandLine& Attach(const std::string& ini, const char* arguments, const char* dataFile = "SETUP.INI") {
    files_.SetFile(engine_.GetSetupFolder() + dataFile, ini);
    line_.reset(new SetupCommandLine(files_));
    EXPECT_TRUE(line_->Parse(engine_.GetSetupFolder().c_str(), arguments));
    engine_.SetCommandLine(line_.get());
    return *line_;
  }

  RecordingPlatform platform_;
  ScopedHandle endSession_{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  SetupEngine engine_;
  MemoryFileOpener files_;
  std::unique_ptr<SetupCommandLine> line_;
};

TEST_F(SetupEngineTest, FoldersFromTheProgramAndTheDataFileName) {
  ASSERT_TRUE(kLogOn);
  EXPECT_EQ(engine_.GetSetupFolder(), test::ProgramFolder());
  EXPECT_EQ(engine_.GetPackageFolder(), test::ProgramFolder());
  EXPECT_EQ(engine_.GetPlatformId(), -1);
  Attach(Ini(""), "");
  EXPECT_EQ(engine_.GetPackageFolder(), engine_.GetSetupFolder());

  SetupEngine other(nullptr, nullptr);
  files_.SetFile(other.GetSetupFolder() + "Sub\\A.INI", Ini(""));
  SetupCommandLine line(files_);
  ASSERT_TRUE(line.Parse(other.GetSetupFolder().c_str(), "Sub\\A.INI /qb"));
  other.SetCommandLine(&line);
  EXPECT_EQ(other.GetPackageFolder(), other.GetSetupFolder() + "Sub\\");
  EXPECT_EQ(other.GetCommandLine(), &line);
}

TEST_F(SetupEngineTest, PromptForCdMutex) {
  EXPECT_EQ(engine_.IsPromptForCDMutexSet(), 0);
  ScopedHandle mutex(CreateMutexA(nullptr, FALSE, "__MsiPromptForCD"));
  ASSERT_TRUE(mutex.IsValid());
  EXPECT_EQ(engine_.IsPromptForCDMutexSet(), 1);
}

TEST_F(SetupEngineTest, StepsWithoutACommandLineAreInternalErrors) {
  struct Case {
    uint32_t location;
    std::function<void()> step;
  };
  const Case cases[] = {
      {8, [&] { engine_.IsPlatformQualified(); }},
      {9, [&] { engine_.IsInstallerVersionCurrent(); }},
      {4, [&] { engine_.HasRunFromSourceFeatures(); }},
      {5, [&] { engine_.RunMaintenanceInstaller(); }},
      {6, [&] { engine_.RunMainInstaller(0); }},
      {12, [&] { engine_.LaunchNestedInstaller(); }},
      {20, [&] { engine_.HasNestedInstall(nullptr); }},
      {26, [&] { engine_.LaunchPostInstallApplications(); }},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(RaisedCode(c.step), 0x80004003u) << c.location;
    ASSERT_FALSE(platform_.Boxes().empty());
    EXPECT_EQ(platform_.Boxes().back().text, Format("Error Code: %04X.80004003", c.location));
  }
}

TEST_F(SetupEngineTest, InstallerVersionAgainstWinesMsiDll) {
  DLLVERSIONINFO wine = {};
  ASSERT_TRUE(engine_.GetMsiLibrary().GetMsiDllVersion(&wine));
  const auto check = [&](const std::string& wanted) {
    Attach(Ini("MsiVersion=" + wanted + "\r\n"), "");
    return engine_.IsInstallerVersionCurrent();
  };
  EXPECT_EQ(check(""), 1);
  EXPECT_EQ(check("1.10"), 1);
  EXPECT_EQ(check(Format("%lu.%lu.%lu", wine.dwMajorVersion, wine.dwMinorVersion, wine.dwBuildNumber)), 1);
  EXPECT_EQ(check(Format("%lu.%lu.%lu", wine.dwMajorVersion, wine.dwMinorVersion, wine.dwBuildNumber + 1)), 0);
  EXPECT_EQ(check(Format("%lu", wine.dwMajorVersion + 1)), 0);
  const test::LogCapture log;
  EXPECT_EQ(RaisedCode([&] { check("1.1x"); }), 0x8004006Bu);
  EXPECT_EQ(platform_.Boxes().back().text, "Error Code: 0009.8004006B");
  EXPECT_TRUE(log.Contains("MsiVersion=1.1x in SETUP.INI cannot be read: a version is numbers separated by dots, "
                           "such as 3.1 or 4.5.6362"))
      << log.Lines();
  EXPECT_EQ(engine_.HasInstallPrivileges(), 1);
}

TEST_F(SetupEngineTest, NestedInstallNeedsItsDataFileAndHonoursNoUpdate) {
  const std::string folder = test::ScratchFolder("kq_engine_nested");
  engine_.SetSetupFolder(folder);
  const std::string notInstalled = "{6F9D3C1B-0000-4E44-9C4A-1F2E3D4C5B6A}";
  Attach(Ini("NestedInstall=" + notInstalled + ",Sub.INI /qb,NOUPDATE|ONEREBOOT\r\n"), "REBOOT=Force");
  bool suppressed = true;
  EXPECT_EQ(engine_.HasNestedInstall(&suppressed), 0) << "Sub.INI does not exist yet";
  EXPECT_EQ(suppressed, 0);
  ASSERT_TRUE(test::WriteWholeFile(folder + "Sub.INI", "[ProductInformation]\r\n"));
  EXPECT_EQ(engine_.HasNestedInstall(&suppressed), 1) << "NOUPDATE matters only when installed";
  EXPECT_EQ(suppressed, 1) << "ONEREBOOT";
  EXPECT_EQ(engine_.HasNestedInstall(nullptr), 1);

  Attach(Ini("NestedInstall=" + notInstalled + ",Sub.INI\r\n"), "REBOOT=ReallySuppress");
  EXPECT_EQ(engine_.HasNestedInstall(&suppressed), 1);
  EXPECT_EQ(suppressed, 1);
  Attach(Ini("NestedInstall=" + notInstalled + ",Sub.INI\r\n"), "REBOOT=Force");
  EXPECT_EQ(engine_.HasNestedInstall(&suppressed), 1);
  EXPECT_EQ(suppressed, 0);
  Attach(Ini(""), "");
  EXPECT_EQ(engine_.HasNestedInstall(&suppressed), 0);
  EXPECT_EQ(engine_.LaunchNestedInstaller(), 0);
}

// The stand-in child copied under a name that contains MSIEXEC, so that the
// removal counts as a Windows Installer removal (no five-second wait).
class RemoveApplicationTest : public SetupEngineTest {
 protected:
  RemoveApplicationTest() {
    folder_ = test::ScratchFolder("kq_engine_remove");
    program_ = folder_ + "fake_msiexec.exe";
    CopyFileA(test::ChildProgram().c_str(), program_.c_str(), FALSE);
    record_ = folder_ + "record.txt";
  }
  // Runs the removal with the child exiting `code`; the raised code, or
  // 0x100 + the result when it returned.
  uint32_t Remove(uint32_t code, const std::string& command) {
    test::ScopedEnvironment recordTo("KQCHILD_RECORD", record_);
    test::ScopedEnvironment exitWith("KQCHILD_EXIT", Format("%u", code));
    return RaisedCode([&] { RaiseSetupExitCode(0x100u + static_cast<uint32_t>(engine_.RemoveApplication(command.c_str()))); });
  }
  std::string folder_, program_, record_;
};

TEST_F(RemoveApplicationTest, OutcomesByExitCode) {
  Attach(Ini(""), "/qb");
  const std::string command = program_ + " /x {GUID}";
  EXPECT_EQ(Remove(0, command), 0x101u);
  EXPECT_EQ(Remove(1602, command), 0x100u);
  EXPECT_EQ(Remove(1603, command), 1603u);
  EXPECT_EQ(Remove(3010, command), 3010u);  // asked for a restart, started none
  EXPECT_EQ(Remove(1641, command), 460393u);
  std::string expected;
  for (int i = 0; i < 5; ++i) expected += command + " /qb\r\n";
  EXPECT_EQ(test::ReadWholeFile(record_), expected);
}

TEST_F(RemoveApplicationTest, NothingToRunOrNothingStarted) {
  Attach(Ini(""), "");
  EXPECT_EQ(engine_.RemoveApplication(nullptr), 0);
  EXPECT_EQ(engine_.RemoveApplication(""), 0);
  test::LogCapture log;
  EXPECT_EQ(Remove(0, folder_ + "missing_msiexec.exe /x {G}"), 0x100u);
  EXPECT_EQ(log.Lines(), "Removing application\nCommand Line = " + folder_ + "missing_msiexec.exe /x {G}\n");
}

TEST_F(RemoveApplicationTest, OtherUninstallersGetFiveSecondsForAReboot) {
  Attach(Ini(""), "/qb");
  const std::string other = folder_ + "uninstaller.exe";
  CopyFileA(test::ChildProgram().c_str(), other.c_str(), FALSE);
  test::LogCapture msiexecLog;
  EXPECT_EQ(Remove(0, program_ + " /X{G} /QN"), 0x101u);
  EXPECT_EQ(msiexecLog.Lines(), "Removing application\nCommand Line = " + program_ +
                                    " /X{G} /QN\nProcess completed with exit code: 00000000\n"
                                    "No reboot detected, continuing...\n");
  test::LogCapture otherLog;
  EXPECT_EQ(Remove(0, other + " -y"), 0x101u);
  EXPECT_EQ(otherLog.Lines(), "Removing application\nCommand Line = " + other +
                                  " -y\nProcess completed with exit code: 00000000\n"
                                  "Waiting five seconds for reboot!\nNo reboot detected, continuing...\n");
  // An end of session during the five seconds is a reboot.
  SetEvent(endSession_.Get());
  EXPECT_EQ(Remove(0, other + " -y"), 460393u);
}

}  // namespace
}  // namespace kq
