// The record a run leaves in its temporary copy: what one run writes, the
// next one reads back, and anything else is no record.
#include "steps/temp_copy.h"

#include <gtest/gtest.h>

#include "ini/memory_file_opener.h"

namespace kq {
namespace {

TEST(RunRecord, WhatOneRunWritesTheNextReadsBack) {
  MemoryFileOpener files;
  RunRecord written;
  written.medium = "C:\\Caf\xe9 Kit\\";
  written.dataFile = "Lang\\SETUP.INI";
  written.processId = 0xFFFFFFF0u;
  written.processStart = 0x01DB2F3A4B5C6D7Eull;
  written.AddRemovedBase("{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4C}");
  written.AddRemovedBase("{6a1d2c3b-4e5f-4a6b-8c7d-9e0f1a2b3c4c}");  // the same key
  ASSERT_TRUE(WriteRunRecord(files, "C:\\T\\KIES0001\\KQSETUP.RUN", written));

  RunRecord read;
  ASSERT_TRUE(ReadRunRecord(files, "C:\\T\\KIES0001\\KQSETUP.RUN", read));
  EXPECT_EQ(read.medium, written.medium);
  EXPECT_EQ(read.dataFile, written.dataFile);
  EXPECT_EQ(read.processId, written.processId);
  EXPECT_EQ(read.processStart, written.processStart);
  EXPECT_EQ(read.removedBases, std::vector<std::string>{"{6A1D2C3B-4E5F-4A6B-8C7D-9E0F1A2B3C4C}"});
  EXPECT_TRUE(read.IsOf("c:\\caf\xe9 kit\\", "LANG\\setup.ini"));
  EXPECT_FALSE(read.IsOf("C:\\Caf\xe9 Kit\\", "SETUP.INI"));
  EXPECT_FALSE(read.IsOf("D:\\", "Lang\\SETUP.INI"));
}

TEST(RunRecord, AnythingElseIsNoRecord) {
  MemoryFileOpener files;
  const char* const others[] = {
      "",
      "[ProductInformation]\r\nPackageName=p.msi\r\n",
      "[Run]\r\nMedium=C:\\M\\\r\nDataFile=SETUP.INI\r\nProcess=12\r\n",                     // no start time
      "[Run]\r\nMedium=C:\\M\\\r\nDataFile=SETUP.INI\r\nProcess=1G\r\nStarted=0\r\n",        // not hexadecimal
      "[Run]\r\nMedium=C:\\M\\\r\nDataFile=SETUP.INI\r\nProcess=100000000\r\nStarted=0\r\n", // over 32 bits
      "[Run]\r\nMedium=\r\nDataFile=SETUP.INI\r\nProcess=12\r\nStarted=0\r\n",              // no medium
  };
  for (const char* text : others) {
    SCOPED_TRACE(text);
    files.SetFile("C:\\R", text);
    RunRecord record;
    record.medium = "left over";
    EXPECT_FALSE(ReadRunRecord(files, "C:\\R", record));
    EXPECT_TRUE(record.medium.empty());
  }
  RunRecord record;
  EXPECT_FALSE(ReadRunRecord(files, "C:\\missing", record));
}

}  // namespace
}  // namespace kq
