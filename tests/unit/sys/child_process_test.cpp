// Runs under Wine with the prefix reporting Windows XP (CreateProcessW) and
// Windows 98 (CreateProcessA). The children are the stand-in child.exe.
#include "sys/child_process.h"

#include <gtest/gtest.h>

#include <cstdlib>

#include "sys/setup_exit_code.h"
#include "sys/test_support.h"
#include "sys/format.h"
#include "sys/wide_ansi.h"

namespace kq {
namespace {

using test::ChildProgram;
using test::LogCapture;
using test::ScopedEnvironment;

const bool kLogOn = (test::EnableSetupLog(), true);

bool IsNtRun() {
  const char* version = std::getenv("KQ_WINE_VERSION");
  return version == nullptr || std::string(version) != "win98";
}

// A manual-reset event as the dialog makes it.
struct EndSessionEvent {
  ScopedHandle handle{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

// Starts child.exe exiting with `code` and waits for it.
int RunChild(uint32_t code, uint32_t* slot, uint32_t* ended = nullptr) {
  ScopedEnvironment exitCode("KQCHILD_EXIT", Format("%u", code));
  ScopedHandle process;
  EXPECT_TRUE(StartChildProcess(ChildProgram(), CommandLineLogging::Log, process));
  EndSessionEvent endSession;
  int reboot = -1;
  const uint32_t raised = CatchSetupExitCode([&] {
    reboot = WaitForChildOrReboot(process.Get(), endSession.handle.Get(), false, slot) ? 1 : 0;
    RaiseSetupExitCode(0xC0FFEEu);
  });
  if (ended != nullptr) *ended = raised;
  return reboot;
}

TEST(ChildProcess, RebootExitCodesAreDetectedWithAndWithoutASlot) {
  ASSERT_TRUE(kLogOn);
  for (uint32_t code : {1641u, 3010u, 460393u}) {
    uint32_t slot = 7;
    LogCapture log;
    EXPECT_EQ(RunChild(code, &slot), 1) << code;
    EXPECT_EQ(slot, code);
    EXPECT_TRUE(log.Contains(Format("Process completed with exit code: %08X", code))) << log.Lines();
    EXPECT_TRUE(log.Contains("Reboot detected immediatedly. WaitResult = 00000000")) << log.Lines();
    EXPECT_FALSE(log.Contains("No reboot detected, continuing...")) << log.Lines();

    uint32_t ended = 0;
    EXPECT_EQ(RunChild(code, nullptr, &ended), 1) << code;
    EXPECT_EQ(ended, 0xC0FFEEu) << "a reboot code does not end the run";
  }
}

TEST(ChildProcess, OtherExitCodesGoToTheSlotOrEndTheRun) {
  uint32_t slot = 7;
  LogCapture log;
  EXPECT_EQ(RunChild(0, &slot), 0);
  EXPECT_EQ(slot, 0u);
  EXPECT_EQ(log.Lines(), "Command Line = " + ChildProgram() +
                             "\nProcess completed with exit code: 00000000\nNo reboot detected, continuing...\n");

  EXPECT_EQ(RunChild(1603, &slot), 0);
  EXPECT_EQ(slot, 1603u);

  uint32_t ended = 0;
  EXPECT_EQ(RunChild(1603, nullptr, &ended), -1);
  EXPECT_EQ(ended, 1603u);
  EXPECT_EQ(RunChild(0, nullptr, &ended), 0);
  EXPECT_EQ(ended, 0xC0FFEEu);
  EXPECT_EQ(RunChild(0x80070005u, nullptr, &ended), -1);
  EXPECT_EQ(ended, 0x80070005u);
}

TEST(ChildProcess, EndOfSessionWhileTheChildRunsEndsTheWaitAtOnce) {
  ScopedEnvironment exitCode("KQCHILD_EXIT", "3010");
  ScopedEnvironment wait("KQCHILD_WAIT", "600000");
  ScopedHandle process;
  ASSERT_TRUE(StartChildProcess(ChildProgram(), CommandLineLogging::Log, process));
  EndSessionEvent endSession;
  SetEvent(endSession.handle.Get());
  uint32_t slot = 7;
  LogCapture log;
  EXPECT_TRUE(WaitForChildOrReboot(process.Get(), endSession.handle.Get(), false, &slot));
  EXPECT_EQ(slot, 7u) << "the exit code is not read";
  EXPECT_EQ(log.Lines(), "Reboot detected immediatedly. WaitResult = 00000001\n");
  EXPECT_EQ(WaitForSingleObject(process.Get(), 0), static_cast<DWORD>(WAIT_TIMEOUT)) << "the child still runs";
  TerminateProcess(process.Get(), 1);
}

TEST(ChildProcess, FiveSecondWaitForAnEndOfSession) {
  EndSessionEvent endSession;
  {
    LogCapture log;
    EXPECT_FALSE(WaitForChildOrReboot(nullptr, endSession.handle.Get(), true, nullptr));
    EXPECT_EQ(log.Lines(), "Waiting five seconds for reboot!\nNo reboot detected, continuing...\n");
  }
  SetEvent(endSession.handle.Get());
  {
    LogCapture log;
    EXPECT_TRUE(WaitForChildOrReboot(nullptr, endSession.handle.Get(), true, nullptr));
    EXPECT_EQ(log.Lines(), "Waiting five seconds for reboot!\nReboot detected! WaitResult = 00000000\n");
  }
  {
    // A child that ends without a reboot, then the end of the session.
    uint32_t slot = 7;
    ScopedHandle process;
    ASSERT_TRUE(StartChildProcess(ChildProgram(), CommandLineLogging::Silent, process));
    WaitForSingleObject(process.Get(), INFINITE);
    LogCapture log;
    // Both objects are signalled: the child's end is seen first.
    EXPECT_TRUE(WaitForChildOrReboot(process.Get(), endSession.handle.Get(), true, &slot));
    EXPECT_EQ(slot, 0u);
    EXPECT_EQ(log.Lines(),
              "Process completed with exit code: 00000000\nWaiting five seconds for reboot!\n"
              "Reboot detected! WaitResult = 00000000\n");
  }
}

TEST(ChildProcess, LongCommandLinesStartWholeUpToTheSystemLimit) {
  const std::string folder = test::ScratchFolder("kq_child_long");
  const std::string record = folder + "record.txt";
  ScopedEnvironment recordTo("KQCHILD_RECORD", record);
  // Longer than the 1024-character launch buffer and the 260 wide characters.
  const std::string commandLine = ChildProgram() + " " + std::string(5000, 'a') + " end";
  ScopedHandle process;
  ASSERT_TRUE(StartChildProcess(commandLine, CommandLineLogging::Silent, process));
  WaitForSingleObject(process.Get(), INFINITE);
  EXPECT_EQ(test::ReadWholeFile(record), commandLine + "\r\n");

  // Beyond the system's own limit the start fails.
  const std::string tooLong = ChildProgram() + " " + std::string(40000, 'b');
  EXPECT_FALSE(StartChildProcess(tooLong, CommandLineLogging::Silent, process));
  EXPECT_FALSE(process.IsValid());
}

TEST(ChildProcess, CommandLineLoggedUnlessSilent) {
  ScopedHandle process;
  {
    LogCapture log;
    ASSERT_TRUE(StartChildProcess(ChildProgram() + " /x", CommandLineLogging::Silent, process));
    EXPECT_EQ(log.Lines(), "");
  }
  WaitForSingleObject(process.Get(), INFINITE);
  LogCapture log;
  EXPECT_FALSE(StartChildProcess("Z:\\no\\such\\program.exe /y", CommandLineLogging::Log, process));
  EXPECT_EQ(log.Lines(), "Command Line = Z:\\no\\such\\program.exe /y\n");
}

TEST(ChildProcess, NtStartRetriesWithTheAnsiCodePage) {
  // U+20AC is byte 0x80 in code page 1252 and C-cedilla in OEM 437: the OEM
  // conversion names a program that does not exist; the ANSI one does.
  const std::wstring wideFolder = L"C:\\kq_child_\x20AC";
  CreateDirectoryW(wideFolder.c_str(), nullptr);
  const std::wstring wideChild = wideFolder + L"\\child.exe";
  const std::string child = ChildProgram();
  ASSERT_TRUE(CopyFileW(std::wstring(child.begin(), child.end()).c_str(), wideChild.c_str(), FALSE));
  const std::string narrowChild = "C:\\kq_child_\x80\\child.exe";
  ScopedHandle process;
  EXPECT_TRUE(StartChildProcess(narrowChild, CommandLineLogging::Silent, process));
  if (process) WaitForSingleObject(process.Get(), INFINITE);
  DeleteFileW(wideChild.c_str());
  RemoveDirectoryW(wideFolder.c_str());
  EXPECT_EQ(IsWindowsNT(), IsNtRun());
}

}  // namespace
}  // namespace kq
