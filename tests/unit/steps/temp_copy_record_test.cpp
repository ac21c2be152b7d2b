// The record a run leaves in its temporary copy: what one run writes, the
// next one reads back; a record cut off is never taken for a shorter one or
// for none; and a power cut at any step of a rewrite leaves the old record
// or the new one.
#include "steps/temp_copy.h"

#include <gtest/gtest.h>

#include "steps/memory_record_files.h"

namespace kq {
namespace {

constexpr char kCopy[] = "C:\\T\\KIES0001\\";
const std::string kRecordPath = std::string(kCopy) + kRunRecordName;

RunRecord Sample(const char* medium) {
  RunRecord record;
  record.medium = medium;
  record.dataFile = "Lang\\SETUP.INI";
  record.processId = 0xFFFFFFF0u;
  record.processStart = 0x01DB2F3A4B5C6D7Eull;
  record.identity = std::string(63, 'a') + "0";
  record.AddRemovedBase("{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4C}");
  return record;
}

TEST(RunRecord, WhatOneRunWritesTheNextReadsBack) {
  test::MemoryRecordFiles files;
  RunRecord written = Sample("C:\\Caf\xe9 Kit\\");
  written.AddRemovedBase("{6a1d2c3b-4e5f-4a6b-8c7d-9e0f1a2b3c4c}");  // the same key
  ASSERT_TRUE(WriteRunRecord(files, kCopy, written));
  EXPECT_EQ(files.disk.count(std::string(kCopy) + kNewRunRecordName), 0u) << "the new record replaced the old";

  RunRecord read;
  ASSERT_EQ(ReadRunRecord(files, kCopy, read), RecordState::kComplete);
  EXPECT_EQ(read.medium, written.medium);
  EXPECT_EQ(read.dataFile, written.dataFile);
  EXPECT_EQ(read.processId, written.processId);
  EXPECT_EQ(read.processStart, written.processStart);
  EXPECT_EQ(read.removedBases, std::vector<std::string>{"{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4C}"});
  EXPECT_EQ(read.identity, written.identity);

  ASSERT_TRUE(RemoveRunRecord(files, kCopy));
  EXPECT_EQ(ReadRunRecord(files, kCopy, read), RecordState::kMissing);
}

// The bytes of a record are its format: earlier versions' records are read
// by this one and this one's by later ones.
TEST(RunRecord, IsWrittenAsTheseBytes) {
  test::MemoryRecordFiles files;
  RunRecord record = Sample("C:\\M\\");
  record.AddRemovedBase("Tool 2");
  ASSERT_TRUE(WriteRunRecord(files, kCopy, record));
  EXPECT_EQ(files.disk[kRecordPath],
            "[Run]\r\nMedium=C:\\M\\\r\nDataFile=Lang\\SETUP.INI\r\nIdentity=" + record.identity +
                "\r\nProcess=FFFFFFF0\r\nStarted=01DB2F3A4B5C6D7E\r\n[RemovedUpgradeBases]\r\n"
                "{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4C}\r\nTool 2\r\n[End]\r\n");
  record.identity.clear();
  record.removedBases.clear();
  ASSERT_TRUE(WriteRunRecord(files, kCopy, record));
  EXPECT_EQ(files.disk[kRecordPath],
            "[Run]\r\nMedium=C:\\M\\\r\nDataFile=Lang\\SETUP.INI\r\nProcess=FFFFFFF0\r\n"
            "Started=01DB2F3A4B5C6D7E\r\n[RemovedUpgradeBases]\r\n[End]\r\n");
}

// A medium is known by what it holds where both sides know it, by its folder
// where the record is older than the identity.
TEST(RunRecord, AMediumIsKnownByItsIdentityOrElseByItsFolder) {
  const std::string a(64, 'a');
  const std::string b(64, 'b');
  const struct {
    const char* name;
    const char* recordIdentity;
    const char* runMedium;
    const char* runDataFile;
    const char* runIdentity;
    bool same;
  } rows[] = {
      {"same content at another path", a.c_str(), "M:\\", "lang\\setup.ini", a.c_str(), true},
      {"other content at the same path", a.c_str(), "C:\\Caf\xe9 Kit\\", "Lang\\SETUP.INI", b.c_str(), false},
      {"same content, another data file", a.c_str(), "C:\\Caf\xe9 Kit\\", "SETUP.INI", a.c_str(), false},
      {"no identity in the record: same path", "", "c:\\caf\xe9 kit\\", "LANG\\setup.ini", a.c_str(), true},
      {"no identity in the record: another path", "", "D:\\", "Lang\\SETUP.INI", a.c_str(), false},
      {"no identity for the run: same path", a.c_str(), "C:\\Caf\xe9 Kit\\", "Lang\\SETUP.INI", "", true},
  };
  for (const auto& row : rows) {
    RunRecord record = Sample("C:\\Caf\xe9 Kit\\");
    record.identity = row.recordIdentity;
    RunRecord run;
    run.medium = row.runMedium;
    run.dataFile = row.runDataFile;
    run.identity = row.runIdentity;
    EXPECT_EQ(record.IsOfMedium(run), row.same) << row.name;
  }
}

TEST(RunRecord, OnlyAWholeRecordIsARecord) {
  const std::string whole = "[Run]\r\nMedium=C:\\M\\\r\nDataFile=SETUP.INI\r\nProcess=12\r\nStarted=0\r\n"
                            "[RemovedUpgradeBases]\r\n{B}\r\n[End]\r\n";
  const struct {
    const char* name;
    std::string text;
    RecordState state;
  } cases[] = {
      {"whole", whole, RecordState::kComplete},
      {"empty", "", RecordState::kIncomplete},
      {"cut off in its bases", whole.substr(0, whole.find("{B}") + 2), RecordState::kIncomplete},
      {"cut off in its last line", whole.substr(0, whole.size() - 4), RecordState::kIncomplete},
      {"a data file", "[ProductInformation]\r\nPackageName=p.msi\r\n[End]\r\n", RecordState::kIncomplete},
      {"no start time", "[Run]\r\nMedium=C:\\M\\\r\nDataFile=S.INI\r\nProcess=12\r\n[End]\r\n", RecordState::kIncomplete},
      {"not hexadecimal", "[Run]\r\nMedium=C:\\M\\\r\nDataFile=S.INI\r\nProcess=1G\r\nStarted=0\r\n[End]\r\n",
       RecordState::kIncomplete},
      {"over 32 bits", "[Run]\r\nMedium=C:\\M\\\r\nDataFile=S.INI\r\nProcess=100000000\r\nStarted=0\r\n[End]\r\n",
       RecordState::kIncomplete},
      {"no medium", "[Run]\r\nMedium=\r\nDataFile=S.INI\r\nProcess=12\r\nStarted=0\r\n[End]\r\n",
       RecordState::kIncomplete},
      {"at the size limit", whole + std::string(kRunRecordLimit - whole.size(), ';'), RecordState::kComplete},
      {"over it", whole + std::string(kRunRecordLimit - whole.size() + 1, ';'), RecordState::kTooLarge},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    test::MemoryRecordFiles files;
    files.disk[kRecordPath] = c.text;
    RunRecord record;
    record.medium = "left over";
    EXPECT_EQ(ReadRunRecord(files, kCopy, record), c.state);
    if (c.state != RecordState::kComplete) EXPECT_TRUE(record.medium.empty());
  }
}

// A rewrite cut at every step, on both kinds of replacement: a later read
// finds the old record or the new one, whole.
TEST(RunRecord, APowerCutAtAnyStepLeavesTheOldRecordOrTheNew) {
  for (bool deleteThenRename : {false, true}) {
    for (bool hadOne : {true, false}) {
      test::MemoryRecordFiles files;
      files.deleteThenRename = deleteThenRename;
      if (hadOne) ASSERT_TRUE(WriteRunRecord(files, kCopy, Sample("C:\\Old\\")));
      const auto before = files.disk;
      files.stepsTaken = 0;
      ASSERT_TRUE(WriteRunRecord(files, kCopy, Sample("C:\\New\\")));
      const long steps = files.stepsTaken;
      ASSERT_GT(steps, 100) << "every byte is a step";
      for (long cut = 0; cut <= steps; ++cut) {
        SCOPED_TRACE(testing::Message() << "9x " << deleteThenRename << ", old " << hadOne << ", cut " << cut);
        files.disk = before;
        files.CutAfter(cut);
        const bool written = WriteRunRecord(files, kCopy, Sample("C:\\New\\"));
        files.CutAfter(-1);
        RunRecord read;
        const RecordState state = ReadRunRecord(files, kCopy, read);
        if (written) {
          ASSERT_EQ(state, RecordState::kComplete);
          EXPECT_EQ(read.medium, "C:\\New\\");
        } else if (state == RecordState::kComplete) {
          EXPECT_TRUE(read.medium == "C:\\New\\" || (hadOne && read.medium == "C:\\Old\\")) << read.medium;
        } else {
          ASSERT_FALSE(hadOne) << "the old record was lost";
          EXPECT_EQ(state, RecordState::kMissing);
        }
      }
    }
  }
}

}  // namespace
}  // namespace kq
