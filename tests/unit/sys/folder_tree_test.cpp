// CopyFolderTree, FolderTreeFitsWithin and DeleteFolderContents on real folders
// under Wine (Windows XP and Windows 98).
#include "sys/folder_tree.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

#include "sys/test_support.h"
#include "sys/deferred_deletion.h"
#include "sys/wide_ansi_files.h"

namespace kq {
namespace {

const bool kLogOn = (test::EnableSetupLog(), true);

DWORD Attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }
bool Exists(const std::string& path) { return Attributes(path) != INVALID_FILE_ATTRIBUTES; }

// Names in a folder, "." and ".." left out.
std::set<std::string> Names(const std::string& folder) {
  std::set<std::string> names;
  WIN32_FIND_DATAA found;
  HANDLE find = FindFirstFileA((folder + "*").c_str(), &found);
  if (find == INVALID_HANDLE_VALUE) return names;
  do {
    const std::string name = found.cFileName;
    if (name != "." && name != "..") names.insert(name);
  } while (FindNextFileA(find, &found));
  FindClose(find);
  return names;
}

void Tree(const std::string& root) {
  ASSERT_TRUE(test::WriteWholeFile(root + "SETUP.INI", "[ProductInformation]\r\n"));
  ASSERT_TRUE(test::WriteWholeFile(root + "hidden.dat", "hidden and read-only"));
  ASSERT_TRUE(SetFileAttributesA((root + "hidden.dat").c_str(), FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
  ASSERT_TRUE(CreateDirectoryA((root + "Lang").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA((root + "Lang\\Deeper").c_str(), nullptr));
  ASSERT_TRUE(test::WriteWholeFile(root + "Lang\\Deeper\\A.INI", "deep"));
  ASSERT_TRUE(CreateDirectoryA((root + ".svn").c_str(), nullptr));
  ASSERT_TRUE(test::WriteWholeFile(root + ".svn\\entries", "not part of the medium"));
}

// Removes what a test left, whatever its attributes.
void Wipe(const std::string& folder) {
  for (const std::string& name : Names(folder)) {
    const std::string path = folder + name;
    SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
    if (Attributes(path) & FILE_ATTRIBUTE_DIRECTORY) {
      Wipe(path + "\\");
      RemoveDirectoryA(path.c_str());
    } else {
      DeleteFileA(path.c_str());
    }
  }
}

std::string FreshFolder(const char* name) {
  const std::string folder = test::ScratchFolder(name);
  Wipe(folder);
  return folder;
}

TEST(FolderTree, CopyKeepsAttributesAndSkipsDotFoldersThenDeleteEmptiesIt) {
  const std::string source = FreshFolder("kq_tc_source");
  const std::string target = FreshFolder("kq_tc_target");
  Tree(source);
  ASSERT_TRUE(CopyFolderTree(source, target));
  EXPECT_EQ(Names(target), (std::set<std::string>{"SETUP.INI", "hidden.dat", "Lang"}));
  EXPECT_EQ(test::ReadWholeFile(target + "Lang\\Deeper\\A.INI"), "deep");
  const DWORD copied = Attributes(target + "hidden.dat");
  EXPECT_EQ(copied & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
            static_cast<DWORD>(FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));

  // A dot folder in the copy is not the setup's to delete.
  ASSERT_TRUE(CreateDirectoryA((target + ".keep").c_str(), nullptr));
  ASSERT_TRUE(test::WriteWholeFile(target + ".keep\\mine", "x"));
  test::LogCapture log;
  DeleteFolderContents(target);
  EXPECT_EQ(Names(target), (std::set<std::string>{".keep"}));
  EXPECT_TRUE(log.Contains("Resetting file attributes for \"" + target + "hidden.dat\" from " +
                           [&] {
                             char text[40];
                             wsprintfA(text, "0x%08X to 0x%08X", static_cast<unsigned>(copied),
                                       static_cast<unsigned>(copied & ~7u));
                             return std::string(text);
                           }()))
      << log.Lines();
  EXPECT_EQ(log.Lines().find("Failed"), std::string::npos) << log.Lines();
  Wipe(source);
  Wipe(target);
}

// What the copy would take (46 bytes: the .svn folder is not copied), counted
// only until the limit is passed; and the drive's free space beside it.
TEST(FolderTree, SizesCountWhatTheCopyTakesAndStopPastTheLimit) {
  const std::string source = FreshFolder("kq_tc_sizes");
  Tree(source);
  unsigned long long counted = 0;
  EXPECT_TRUE(FolderTreeFitsWithin(source, 46, counted));
  EXPECT_EQ(counted, 46u);
  counted = 0;
  EXPECT_FALSE(FolderTreeFitsWithin(source, 45, counted));
  EXPECT_GT(counted, 45u);
  counted = 0;
  EXPECT_FALSE(FolderTreeFitsWithin(source, 0, counted));
  EXPECT_LT(counted, 46u) << "counting goes on after the answer is known";
  unsigned long long freeBytes = 0;
  EXPECT_TRUE(DiskFreeSpaceByName(source, freeBytes));
  EXPECT_GT(freeBytes, 0u);
  Wipe(source);
}

TEST(FolderTree, CopyRefusesToOverwriteAndReportsFailure) {
  const std::string source = FreshFolder("kq_tc_source");
  const std::string target = FreshFolder("kq_tc_target");
  Tree(source);
  ASSERT_TRUE(test::WriteWholeFile(target + "SETUP.INI", "old"));
  test::LogCapture log;
  EXPECT_FALSE(CopyFolderTree(source, target));
  EXPECT_EQ(test::ReadWholeFile(target + "SETUP.INI"), "old");
  EXPECT_NE(log.Lines().find("Failed to copy file: \"" + source + "SETUP.INI\""), std::string::npos)
      << log.Lines();
  // A source that cannot be searched has nothing to copy.
  EXPECT_TRUE(CopyFolderTree(source + "no such folder\\", target));
  Wipe(source);
  Wipe(target);
}

std::wstring Widen(const std::string& ascii) { return std::wstring(ascii.begin(), ascii.end()); }

std::vector<std::string> g_scheduled;
BOOL WINAPI RecordingMoveFileEx(LPCSTR name, LPCSTR newName, DWORD flags) {
  if (newName != nullptr || flags != MOVEFILE_DELAY_UNTIL_REBOOT) return FALSE;
  g_scheduled.push_back(name);
  return TRUE;
}

// A copy without the file would be run from as if it were the medium: the
// copy stops, and the setup goes on from the medium. Deleting skips it.
TEST(FolderTree, APathLongerThanMaxPathStopsTheCopyAndIsSkippedWhenDeleting) {
  const std::string source = FreshFolder("kq_tc_source");
  const std::string target = FreshFolder("kq_tc_target");
  const std::string deep = source + std::string(120, 'd') + "\\" + std::string(100, 'e');
  ASSERT_TRUE(CreateDirectoryA((source + std::string(120, 'd')).c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(deep.c_str(), nullptr));
  const std::string tooLong = deep + "\\" + std::string(300 - deep.size(), 'f');
  ASSERT_GT(tooLong.size(), static_cast<size_t>(MAX_PATH));
  HANDLE file = CreateFileW((L"\\\\?\\" + Widen(tooLong)).c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, 0,
                            nullptr);
  ASSERT_NE(file, INVALID_HANDLE_VALUE);
  CloseHandle(file);
  ASSERT_TRUE(test::WriteWholeFile(source + "short.txt", "s"));

  test::LogCapture log;
  EXPECT_FALSE(CopyFolderTree(source, target));
  EXPECT_NE(log.Lines().find("The copy stops: \"" + tooLong + "\""), std::string::npos) << log.Lines();
  DeleteFolderContents(target);

  // Deleting skips it too; the folders that keep it are scheduled instead.
  g_scheduled.clear();
  ReplaceMoveFileExForTesting(RecordingMoveFileEx);
  DeleteFolderContents(source);
  RestoreMoveFileEx();
  EXPECT_EQ(g_scheduled, (std::vector<std::string>{deep, source + std::string(120, 'd')}));
  EXPECT_FALSE(Exists(source + "short.txt"));
  DeleteFileW((L"\\\\?\\" + Widen(tooLong)).c_str());
  Wipe(source);
  Wipe(target);
}

}  // namespace
}  // namespace kq
