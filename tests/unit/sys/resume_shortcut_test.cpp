// The resume shortcut in the prefix's real Startup folder, through the shell
// link object: the tag rules of HookReboot and UnhookReboot, a shortcut that
// starts the restart program with its arguments, and the error box with its
// quiet rule. Boxes are recorded, not shown.
#include "sys/resume_shortcut.h"

#include <gtest/gtest.h>
#include <shellapi.h>
#include <shlobj.h>

#include <string>
#include <vector>

#include "sys/recording_platform.h"
#include "sys/test_support.h"
#include "sys/shell_link.h"

namespace kq {
namespace {

using testing_support::RecordingPlatform;

const bool kLogOn = (test::EnableSetupLog(), true);

constexpr const char kIntermediate[] = "SETUP.INI.Intermediate";
constexpr const char kFinal[] = "SETUP.INI.Final";

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

class ResumeShortcutTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(kLogOn);
    CoInitialize(nullptr);
    char folder[MAX_PATH] = {};
    ASSERT_TRUE(SHGetSpecialFolderPathA(nullptr, folder, CSIDL_STARTUP, TRUE));
    path_ = std::string(folder) + "\\KORVANE Install Exec Setup.lnk";
    Clear();
  }
  void TearDown() override {
    Clear();
    CoUninitialize();
  }
  // The shortcut's name `n` (1 is the first, 2 to 9 are "(2)" to "(9)").
  std::string Name(int n) const {
    return n == 1 ? path_ : path_.substr(0, path_.size() - 4) + " (" + std::to_string(n) + ").lnk";
  }
  void Clear() {
    for (int n = 1; n <= 9; ++n) {
      for (const std::string& name : {Name(n), Name(n) + ".new"}) {
        DeleteFileA(name.c_str());
        RemoveDirectoryA(name.c_str());
      }
    }
  }
  struct Fields {
    std::string target, arguments, description;
  };
  Fields Read() {
    Fields f;
    EXPECT_EQ(ReadShellLink(nullptr, path_, &f.target, &f.arguments, &f.description), S_OK);
    return f;
  }

  RecordingPlatform platform_;
  std::string path_;
};

TEST_F(ResumeShortcutTest, TheShortcutStartsTheRestartProgramWithTheRestartArguments) {
  EXPECT_EQ(ResumeShortcutPath(nullptr), path_);
  const std::string record = test::ScratchFolder("kq_resume") + "started.txt";
  DeleteFileA(record.c_str());
  ASSERT_TRUE(HookReboot(nullptr, kIntermediate, test::ChildProgram(), "SETUP.INI /qb /~"));
  const Fields f = Read();
  EXPECT_STRCASEEQ(f.target.c_str(), test::ChildProgram().c_str());
  EXPECT_EQ(f.arguments, "SETUP.INI /qb /~");
  EXPECT_EQ(f.description, kIntermediate);

  // What the shell does at the next logon: open the shortcut.
  test::ScopedEnvironment recordTo("KQCHILD_RECORD", record);
  ASSERT_GT(reinterpret_cast<INT_PTR>(ShellExecuteA(nullptr, "open", path_.c_str(), nullptr, nullptr, SW_SHOWNORMAL)),
            32);
  std::string started;
  for (int i = 0; i < 100 && started.empty(); ++i) {
    Sleep(100);
    started = test::ReadWholeFile(record);
  }
  EXPECT_NE(started.find("SETUP.INI /qb /~"), std::string::npos) << started;
  EXPECT_TRUE(platform_.Boxes().empty());
}

TEST_F(ResumeShortcutTest, ASecondHookWithTheSameContentsWritesTheSameShortcut) {
  ASSERT_TRUE(HookReboot(nullptr, kIntermediate, test::ChildProgram(), "/qb"));
  const std::string saved = test::ReadWholeFile(path_);
  ASSERT_TRUE(UnhookReboot(nullptr, kIntermediate));
  ASSERT_TRUE(HookReboot(nullptr, kIntermediate, test::ChildProgram(), "/qb"));
  EXPECT_EQ(test::ReadWholeFile(path_), saved);
  EXPECT_EQ(Read().arguments, "/qb");
  EXPECT_TRUE(UnhookReboot(nullptr, kIntermediate));
  EXPECT_FALSE(Exists(path_));
}

TEST_F(ResumeShortcutTest, EachSetupPlacesAndRemovesOnlyItsOwn) {
  ASSERT_TRUE(HookReboot(nullptr, kIntermediate, "C:\\first\\SETUP.EXE", "/qb"));
  // The same setup replaces its shortcut.
  ASSERT_TRUE(HookReboot(nullptr, kIntermediate, "C:\\second\\SETUP.EXE", "/qn /~"));
  EXPECT_EQ(Read().arguments, "/qn /~");
  EXPECT_STRCASEEQ(Read().target.c_str(), "C:\\second\\SETUP.EXE");
  // Another setup's stays where it is; this one takes the next name.
  const std::string second = path_.substr(0, path_.size() - 4) + " (2).lnk";
  EXPECT_TRUE(HookReboot(nullptr, "OTHER.INI.Intermediate", "C:\\other\\SETUP.EXE", ""));
  EXPECT_EQ(Read().description, kIntermediate);
  EXPECT_EQ(Read().arguments, "/qn /~");
  std::string description;
  ASSERT_EQ(ReadShellLink(nullptr, second, nullptr, nullptr, &description), S_OK);
  EXPECT_EQ(description, "OTHER.INI.Intermediate");
  std::vector<std::string> targets;
  ASSERT_TRUE(ReadResumeShortcutTargets(nullptr, targets));
  EXPECT_EQ(targets.size(), 2u);

  EXPECT_FALSE(UnhookReboot(nullptr, kFinal));
  EXPECT_FALSE(UnhookReboot(nullptr, "setup.ini.intermediate")) << "tags compare case-sensitively";
  EXPECT_TRUE(Exists(path_));
  EXPECT_TRUE(UnhookReboot(nullptr, kIntermediate));
  EXPECT_FALSE(Exists(path_));
  EXPECT_TRUE(Exists(second)) << "another setup's shortcut stays";
  EXPECT_FALSE(UnhookReboot(nullptr, kIntermediate));
  // A shortcut whose program is gone for good is nobody's: its name is reused.
  const struct : ShortcutClassifier {
    ShortcutOwner operator()(const std::string&, const std::string&) const override { return ShortcutOwner::kNobody; }
  } gone;
  EXPECT_TRUE(HookReboot(nullptr, kFinal, "C:\\third\\SETUP.EXE", "", gone));
  EXPECT_EQ(Read().description, kFinal);
  EXPECT_TRUE(UnhookReboot(nullptr, "OTHER.INI.Intermediate"));
  EXPECT_FALSE(Exists(second));
  EXPECT_TRUE(platform_.Boxes().empty());
}

TEST_F(ResumeShortcutTest, NineSetupsHaveNineNamesAndATenthIsToldNoneIsFree) {
  for (int n = 1; n <= 8; ++n) {
    const std::string other = "OTHER" + std::to_string(n) + ".INI.Intermediate";
    ASSERT_TRUE(HookReboot(nullptr, other, "C:\\other\\SETUP.EXE", ""));
  }
  ASSERT_TRUE(HookReboot(nullptr, kIntermediate, "C:\\ninth\\SETUP.EXE", "/qb"));
  std::string description;
  ASSERT_EQ(ReadShellLink(nullptr, Name(9), nullptr, nullptr, &description), S_OK);
  EXPECT_EQ(description, kIntermediate);

  const test::LogCapture log;
  EXPECT_FALSE(HookReboot(nullptr, "TENTH.INI.Final", "C:\\tenth\\SETUP.EXE", ""));
  const std::string folder = path_.substr(0, path_.rfind('\\') + 1);
  EXPECT_TRUE(log.Contains("No resume shortcut name is free in \"" + folder +
                           "\": the setup cannot go on by itself after a restart"))
      << log.Lines();
  EXPECT_TRUE(UnhookReboot(nullptr, kIntermediate));
  EXPECT_FALSE(Exists(Name(9)));
}

// A shortcut a power cut left empty or torn starts nothing: it is nobody's.
// What a write cut off before its rename left is removed by the next hook.
TEST_F(ResumeShortcutTest, AShortcutThatCannotBeReadIsSkippedAndItsNameReused) {
  ASSERT_TRUE(HookReboot(nullptr, "OTHER.INI.Intermediate", "C:\\other\\SETUP.EXE", ""));
  const std::string whole = test::ReadWholeFile(path_);
  ASSERT_TRUE(MoveFileA(path_.c_str(), Name(2).c_str()));
  ASSERT_TRUE(test::WriteWholeFile(Name(3) + ".new", "half a shortcut"));
  for (const std::string& torn : {std::string(), whole.substr(0, whole.size() / 2)}) {
    ASSERT_TRUE(test::WriteWholeFile(path_, torn));
    const test::LogCapture log;
    std::vector<std::string> targets;
    ASSERT_TRUE(ReadResumeShortcutTargets(nullptr, targets));
    ASSERT_EQ(targets.size(), 1u) << torn.size();
    EXPECT_STRCASEEQ(targets[0].c_str(), "C:\\other\\SETUP.EXE");
    EXPECT_NE(log.Lines().find("Skipping the resume shortcut \"" + path_ + "\": it cannot be read ("),
              std::string::npos) << log.Lines();
    ASSERT_TRUE(HookReboot(nullptr, kIntermediate, "C:\\ours\\SETUP.EXE", "/qb"));
    EXPECT_EQ(Read().description, kIntermediate) << "the torn shortcut's name is taken";
    EXPECT_FALSE(Exists(path_ + ".new") || Exists(Name(3) + ".new"));
  }
  std::string other;
  ASSERT_EQ(ReadShellLink(nullptr, Name(2), nullptr, nullptr, &other), S_OK);
  EXPECT_EQ(other, "OTHER.INI.Intermediate");
  EXPECT_TRUE(platform_.Boxes().empty());
}

TEST_F(ResumeShortcutTest, ASaveFailureShowsBox1010UnlessTheCommandLineIsQuiet) {
  // A folder where the shortcut is written before it is moved into place:
  // it cannot be saved.
  ASSERT_TRUE(CreateDirectoryA((path_ + ".new").c_str(), nullptr));
  platform_.SetCommandLine("SETUP.EXE /qb");
  EXPECT_FALSE(HookReboot(reinterpret_cast<HWND>(0x1234), kFinal, "C:\\SETUP.EXE", ""));
  ASSERT_EQ(platform_.Boxes().size(), 1u);
  EXPECT_EQ(platform_.Boxes()[0].caption, "Internal Error");
  EXPECT_EQ(platform_.Boxes()[0].text.substr(0, 17), "Error Code: 03F2.") << platform_.Boxes()[0].text;
  EXPECT_EQ(platform_.Boxes()[0].owner, reinterpret_cast<WindowHandle>(0x1234));
  // The log says which step failed, whether or not a box shows the code.
  const std::string why = "The resume shortcut in the Startup folder: it cannot be saved (" +
                          platform_.Boxes()[0].text.substr(17) +
                          "); without it the setup cannot go on by itself after a restart";
  EXPECT_EQ(platform_.LogLines(), std::vector<std::string>{why});

  platform_.SetCommandLine("SETUP.EXE SETUP.INI /qb- /~");
  EXPECT_FALSE(HookReboot(nullptr, kFinal, "C:\\SETUP.EXE", ""));
  EXPECT_EQ(platform_.Boxes().size(), 1u) << "no box in a quiet run";
  EXPECT_EQ(platform_.LogLines(),
            (std::vector<std::string>{why, why, "Internal Error", platform_.Boxes()[0].text}));
  EXPECT_FALSE(UnhookReboot(nullptr, kFinal));
}

}  // namespace
}  // namespace kq
