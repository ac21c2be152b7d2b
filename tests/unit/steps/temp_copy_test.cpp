// The engine's temporary copy under Wine: copying the medium, switching the
// folders, the failure path back to the medium with marker 2, and what the
// end of the run may delete.
#include <gtest/gtest.h>

#include <string>

#include "sys/recording_platform.h"
#include "config/setup_command_line.h"
#include "sys/test_support.h"
#include "steps/setup_engine.h"
#include "sys/scoped_handle.h"
#include "steps/temp_copy.h"
#include "sys/folder_tree.h"
#include "sys/process_identity.h"

namespace kq {
namespace {

using testing_support::RaisedCode;
using testing_support::RecordingPlatform;

const bool kLogOn = (test::EnableSetupLog(), true);

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Entries of a folder other than "." and "..".
int CountEntries(const std::string& folder) {
  int count = 0;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return 0;
  do {
    if (std::string(found.cFileName) != "." && std::string(found.cFileName) != "..") ++count;
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return count;
}

class TempCopyTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kLogOn);
    ASSERT_TRUE(test::WriteWholeFile(medium_ + "SETUP.INI", "[ProductInformation]\r\nPackageName=P.msi\r\n[ProductFeatures]\r\nMain\r\n"));
    ASSERT_TRUE(test::WriteWholeFile(medium_ + "P.msi", "package"));
    DeleteFolderContents(temp_);  // copies an earlier run left
    engine_.SetSetupFolder(medium_);
  }

  void Attach(const char* arguments) {
    ASSERT_TRUE(line_.Parse(medium_.c_str(), arguments));
    engine_.SetCommandLine(&line_);
  }

  RecordingPlatform platform_;
  // The medium and a temporary-files folder of the test's own, both made
  // before TMP points at the latter.
  std::string medium_ = test::ScratchFolder("kq_medium");
  std::string temp_ = test::ScratchFolder("kq_tc_temp");
  test::ScopedEnvironment tmp_{"TMP", temp_};
  test::ScopedEnvironment tempVariable_{"TEMP", temp_};
  SetupEngine engine_{nullptr, nullptr};
  SetupCommandLine line_;
};

TEST_F(TempCopyTest, WorksFromTheCopyAndRemovesItAtTheEnd) {
  Attach("");
  engine_.CopySetupToTempFolder();
  const std::string copy = engine_.GetSetupFolder();
  EXPECT_EQ(line_.GetTempCopyState(), TempCopyState::kRunningFromCopy);
  EXPECT_EQ(copy.substr(0, temp_.size() + 4), temp_ + "KIES");
  EXPECT_EQ(line_.GetSetupFolder(), copy);
  EXPECT_EQ(test::ReadWholeFile(copy + "P.msi"), "package");
  EXPECT_EQ(engine_.GetPackageFolder(), test::ProgramFolder()) << "the package stays where it was";

  engine_.CopySetupToTempFolder();  // once only
  EXPECT_EQ(engine_.GetSetupFolder(), copy);
  EXPECT_EQ(CountEntries(temp_), 1);

  engine_.RemoveTempFolder(true);
  EXPECT_FALSE(Exists(copy));
  EXPECT_EQ(CountEntries(temp_), 0);
  EXPECT_TRUE(Exists(medium_ + "P.msi"));
}

// A nested setup that goes on from the copy after a restart: the run keeps it.
TEST_F(TempCopyTest, ACopyKeptForTheNestedSetupOutlivesTheRun) {
  Attach("");
  engine_.CopySetupToTempFolder();
  const std::string copy = engine_.GetSetupFolder();
  engine_.KeepTempCopy();
  engine_.RemoveTempFolder(false);  // such a run ends with 1641: not done
  EXPECT_TRUE(Exists(copy + "P.msi"));
}

TEST_F(TempCopyTest, AFailedCopyKeepsOnlyItsRecordAndRunsFromTheMediumForGood) {
  Attach("");
  // A file the copy cannot read: held open without sharing.
  ScopedFile locked(CreateFileA((medium_ + "P.msi").c_str(), GENERIC_READ, 0, nullptr, OPEN_EXISTING, 0, nullptr));
  ASSERT_TRUE(locked.IsValid());
  engine_.CopySetupToTempFolder();
  EXPECT_EQ(line_.GetTempCopyState(), TempCopyState::kNone);
  EXPECT_EQ(engine_.GetSetupFolder(), medium_);
  EXPECT_EQ(line_.GetSetupFolder(), medium_);
  ASSERT_EQ(CountEntries(temp_), 1) << "the record stays while the run goes on";
  locked.Close();
  engine_.RemoveTempFolder(true);
  EXPECT_EQ(CountEntries(temp_), 0);
  EXPECT_TRUE(Exists(medium_ + "SETUP.INI"));
}

// The record names the medium by what it holds, and a resume claims it as
// its own run: its process and its start, not the old run's.
TEST_F(TempCopyTest, TheRecordKnowsTheMediumByItsContentAndAResumeClaimsIt) {
  Attach("");
  engine_.CopySetupToTempFolder();
  const std::string copy = engine_.GetSetupFolder();
  RunRecord record;
  ASSERT_EQ(ReadRunRecord(PlatformRecordFiles(), copy, record), RecordState::kComplete);
  EXPECT_EQ(record.medium, medium_);
  EXPECT_EQ(record.identity, MediumIdentity(medium_, "SETUP.INI", "P.msi"));
  EXPECT_EQ(record.identity, MediumIdentity(copy, "SETUP.INI", "P.msi")) << "a whole copy is the same medium";
  EXPECT_EQ(record.identity.size(), 64u);

  record.processId = 1;
  record.processStart = 7;  // a run long over
  ASSERT_TRUE(WriteRunRecord(PlatformRecordFiles(), copy, record));
  SetupEngine resumed{nullptr, nullptr};
  SetupCommandLine resumedLine;
  ASSERT_TRUE(resumedLine.Parse(copy.c_str(), "/~"));
  resumed.SetSetupFolder(copy);
  resumed.SetCommandLine(&resumedLine);
  resumed.ClaimTempCopy();
  RunRecord claimed;
  ASSERT_EQ(ReadRunRecord(PlatformRecordFiles(), copy, claimed), RecordState::kComplete);
  EXPECT_EQ(claimed.processId, GetCurrentProcessId());
  EXPECT_EQ(claimed.processStart, CurrentProcessIdentity().started);
  EXPECT_EQ(claimed.identity, record.identity);
  engine_.RemoveTempFolder(true);
}

TEST(MediumIdentity, TheDataFileAndBothEndsOfThePackageTellAMedium) {
  const std::string one = test::ScratchFolder("kq_identity_1");
  const std::string two = test::ScratchFolder("kq_identity_2");
  std::string package(300 * 1024, 'p');
  for (const std::string& folder : {one, two}) {
    ASSERT_TRUE(test::WriteWholeFile(folder + "SETUP.INI", "[ProductInformation]\r\nPackageName=P.msi\r\n"));
    ASSERT_TRUE(test::WriteWholeFile(folder + "P.msi", package));
  }
  const std::string identity = MediumIdentity(one, "SETUP.INI", "P.msi");
  EXPECT_EQ(MediumIdentity(two, "setup.ini", "P.msi"), identity) << "the same medium in another folder";
  package[package.size() - 1] = 'q';  // a package cut off or zeroed at its end
  ASSERT_TRUE(test::WriteWholeFile(two + "P.msi", package));
  EXPECT_NE(MediumIdentity(two, "SETUP.INI", "P.msi"), identity);
  ASSERT_TRUE(test::WriteWholeFile(two + "P.msi", std::string(300 * 1024, 'p')));
  ASSERT_TRUE(test::WriteWholeFile(two + "SETUP.INI", "[ProductInformation]\r\nPackageName=P.msi\r\n;B\r\n"));
  EXPECT_NE(MediumIdentity(two, "SETUP.INI", "P.msi"), identity) << "another data file is another medium";
  EXPECT_EQ(MediumIdentity(two, "SETUP.INI", "Q.msi"), "") << "no package, no identity";
}

// The record's limit is a size it may have: the real reader reads a record
// of exactly 64 KB and refuses one byte more.
TEST_F(TempCopyTest, ARecordOfExactly64KBIsReadAndOneByteMoreIsNot) {
  std::string record = "[Run]\r\nMedium=C:\\M\\\r\nDataFile=SETUP.INI\r\nProcess=1\r\nStarted=7\r\n[End]\r\n";
  record += ";" + std::string(kRunRecordLimit - record.size() - 3, 'x') + "\r\n";
  ASSERT_EQ(record.size(), kRunRecordLimit);
  const std::string copy = temp_ + "KIES0064\\";
  ASSERT_TRUE(CreateDirectoryA(copy.c_str(), nullptr));
  ASSERT_TRUE(test::WriteWholeFile(copy + kRunRecordName, record));
  RunRecord read;
  EXPECT_EQ(ReadRunRecord(PlatformRecordFiles(), copy, read), RecordState::kComplete);
  ASSERT_TRUE(test::WriteWholeFile(copy + kRunRecordName, record + ";"));
  EXPECT_EQ(ReadRunRecord(PlatformRecordFiles(), copy, read), RecordState::kTooLarge);
}

TEST_F(TempCopyTest, AMarkerFromTheCommandLineNeverDeletesTheMediumNorTrustsARecordThere) {
  const std::string planted = "[Run]\r\nMedium=C:\\Elsewhere\\\r\nDataFile=SETUP.INI\r\nProcess=1\r\nStarted=7\r\n"
                              "[RemovedUpgradeBases]\r\n{BASE}\r\n[End]\r\n";
  ASSERT_TRUE(test::WriteWholeFile(medium_ + kRunRecordName, planted));
  Attach("/~");
  ASSERT_EQ(line_.GetTempCopyState(), TempCopyState::kRunningFromCopy);
  test::LogCapture log;
  engine_.CopySetupToTempFolder();
  EXPECT_EQ(engine_.GetSetupFolder(), medium_);
  EXPECT_EQ(engine_.GetPackageFolder(), test::ProgramFolder()) << "the record's medium is not used";
  EXPECT_EQ(test::ReadWholeFile(medium_ + kRunRecordName), planted) << "neither claimed nor rewritten";
  EXPECT_TRUE(log.Contains("\"" + medium_ + "\" is not a temporary copy of this user's: its record is not read, and "
                           "this run keeps none"))
      << log.Lines();
  DeleteFileA((medium_ + kRunRecordName).c_str());
  engine_.RemoveTempFolder(true);
  EXPECT_TRUE(Exists(medium_ + "SETUP.INI"));
  EXPECT_TRUE(Exists(medium_ + "P.msi"));
  EXPECT_TRUE(log.Contains("Not removing \"" + medium_ + "\": it is not a temporary copy made by setup"))
      << log.Lines();
}

TEST_F(TempCopyTest, CopyWithoutACommandLineIsInternalError18) {
  EXPECT_EQ(RaisedCode([&] { engine_.CopySetupToTempFolder(); }), 0x80004003u);
  ASSERT_EQ(platform_.Boxes().size(), 1u);
  EXPECT_EQ(platform_.Boxes()[0].text, "Error Code: 0012.80004003");
  engine_.RemoveTempFolder(true);  // without a command line: nothing
  EXPECT_TRUE(Exists(medium_ + "SETUP.INI"));
}

TEST(TempCopyFolder, CreatedAsKiesWithFourHexDigitsAlsoWhenTheTempFolderIsMissing) {
  ASSERT_TRUE(kLogOn);
  const std::string base = test::ScratchFolder("kq_tc_tmp");
  DeleteFolderContents(base);
  const std::string temp = base + "not yet\\";
  test::ScopedEnvironment tmp("TMP", temp);
  test::ScopedEnvironment tempVariable("TEMP", temp);
  std::string first;
  ASSERT_TRUE(CreateTempCopyFolder(first));
  ASSERT_EQ(first.size(), temp.size() + 9) << first;
  EXPECT_EQ(first.substr(0, temp.size() + 4), temp + "KIES");
  EXPECT_EQ(first.find_first_not_of("0123456789ABCDEF", temp.size() + 4), first.size() - 1) << first;
  EXPECT_EQ(first.back(), '\\');
  EXPECT_TRUE(GetFileAttributesA(first.c_str()) & FILE_ATTRIBUTE_DIRECTORY);
  // The next call, seeded with the same second, must still find a new name.
  std::string second;
  ASSERT_TRUE(CreateTempCopyFolder(second));
  EXPECT_NE(first, second);
  DeleteFolderContents(base);
}

}  // namespace
}  // namespace kq
