// LogForDeletion under Wine: the delayed-move request as Wine records it in
// PendingFileRenameOperations, and the WININIT.INI fallback through the
// MoveFileEx seam (a failing request, as on the 9x family, and a missing
// entry point).
#include <gtest/gtest.h>

#include <string>

#include "sys/test_support.h"
#include "sys/deferred_deletion.h"

namespace kq {
namespace {

const bool kLogOn = (test::EnableSetupLog(), true);

std::string PendingRenames() {
  HKEY key = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, "System\\CurrentControlSet\\Control\\Session Manager", 0, KEY_READ,
                    &key) != ERROR_SUCCESS)
    return std::string();
  DWORD size = 0;
  DWORD type = 0;
  std::string value;
  if (RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type, nullptr, &size) == ERROR_SUCCESS) {
    value.resize(size);
    RegQueryValueExA(key, "PendingFileRenameOperations", nullptr, &type,
                     reinterpret_cast<BYTE*>(&value[0]), &size);
    value.resize(size);
  }
  RegCloseKey(key);
  return value;
}

std::string Wininit() {
  char folder[MAX_PATH] = {};
  GetWindowsDirectoryA(folder, MAX_PATH);
  return std::string(folder) + "\\WININIT.INI";
}

std::string ShortPath(const std::string& path) {
  char buffer[MAX_PATH] = {};
  GetShortPathNameA(path.c_str(), buffer, MAX_PATH);
  return buffer;
}

BOOL WINAPI UnsupportedMoveFileEx(LPCSTR, LPCSTR, DWORD) {
  SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
  return FALSE;
}

class DeferredDeletionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kLogOn);
    folder_ = test::ScratchFolder("kq_deferred");
    file_ = folder_ + "a file with a long name.txt";
    ASSERT_TRUE(test::WriteWholeFile(file_, "in use"));
    SetFileAttributesA(Wininit().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(Wininit().c_str());
  }
  void TearDown() override {
    RestoreMoveFileEx();
    SetFileAttributesA(Wininit().c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileA(Wininit().c_str());
    DeleteFileA(file_.c_str());
  }
  std::string folder_;
  std::string file_;
};

TEST_F(DeferredDeletionTest, MoveFileExRecordsThePathForTheNextRestart) {
  test::LogCapture log;
  LogForDeletion(file_);
  EXPECT_EQ(log.Lines(), "Scheduled \"" + file_ + "\" for deletion using MoveFileEx()\n");
  EXPECT_NE(PendingRenames().find("\\??\\" + file_ + '\0'), std::string::npos);
  EXPECT_FALSE(GetFileAttributesA(Wininit().c_str()) != INVALID_FILE_ATTRIBUTES) << "no WININIT.INI needed";
}

TEST_F(DeferredDeletionTest, WithoutMoveFileExWininitGetsNulLinesInItsRenameSection) {
  test::LogCapture log;
  ReplaceMoveFileExForTesting(UnsupportedMoveFileEx);
  LogForDeletion(file_);
  EXPECT_EQ(log.Lines(), "MoveFileEx() failed with return code: 0x00000078 in LogForDeletion()\n");
  ReplaceMoveFileExForTesting(nullptr);  // no such entry point: straight to WININIT.INI
  LogForDeletion(folder_.substr(0, folder_.size() - 1));
  const std::string shortFile = ShortPath(file_);
  ASSERT_FALSE(shortFile.empty());
  ASSERT_NE(shortFile, file_) << "the test needs a name that is not 8.3";
  EXPECT_EQ(test::ReadWholeFile(Wininit()), "[Rename]\r\nNUL=" + shortFile + "\r\nNUL=" +
                                                ShortPath(folder_.substr(0, folder_.size() - 1)) + "\r\n");
  // Nothing more was logged for the second call.
  EXPECT_EQ(log.Lines(), "MoveFileEx() failed with return code: 0x00000078 in LogForDeletion()\n");
}

TEST_F(DeferredDeletionTest, AnExistingWininitKeepsItsOtherLines) {
  ASSERT_TRUE(test::WriteWholeFile(Wininit(), "; comment\r\n[Other]\r\nx=1\r\n[Rename]\r\nNUL=C:\\OLD.TXT\r\n"));
  ReplaceMoveFileExForTesting(nullptr);
  LogForDeletion(file_);
  EXPECT_EQ(test::ReadWholeFile(Wininit()),
            "; comment\r\n[Other]\r\nx=1\r\n[Rename]\r\nNUL=C:\\OLD.TXT\r\nNUL=" + ShortPath(file_) + "\r\n");
}

TEST_F(DeferredDeletionTest, AnIniErrorIsLoggedAndGoesNoFurther) {
  ReplaceMoveFileExForTesting(nullptr);
  // A section header the INI library refuses to read.
  ASSERT_TRUE(test::WriteWholeFile(Wininit(), "[]\r\n"));
  test::LogCapture log;
  LogForDeletion(file_);
  EXPECT_NE(log.Lines().find("Failed to schedule \"" + file_ + "\" in WININIT.INI: "), std::string::npos)
      << log.Lines();
  EXPECT_EQ(test::ReadWholeFile(Wininit()), "[]\r\n");
}

}  // namespace
}  // namespace kq
