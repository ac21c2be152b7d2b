#include "sys/instance_mutex.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <string>

namespace kq {
namespace {

// Global\ from Windows 2000 on; wine-run.sh tells the version it set.
bool ExpectGlobalName() {
  const char* version = std::getenv("KQ_WINE_VERSION");
  const std::string v = version != nullptr ? version : "";
  return v == "win2k" || v == "winxp";
}

DWORD WINAPI TryToTake(LPVOID mutex) { return WaitForSingleObject(static_cast<HANDLE>(mutex), 0); }

TEST(InstanceMutex, OneHolderPerDataFileNameUnderItsFoldedName) {
  EXPECT_EQ(InstanceMutexName("sub\\A.INI", false), "SETUP SUB_A.INI");
  EXPECT_EQ(InstanceMutexName("sub\\A.INI", true), "Global\\SETUP SUB_A.INI");
  EXPECT_EQ(InstanceMutexName("setup.ini", true), InstanceMutexName("SETUP.INI", true)) << "one setup, any case";

  ScopedHandle first = CreateInstanceMutex("sub\\A.INI");
  ASSERT_TRUE(first.IsValid());
  ScopedHandle byName(OpenMutexA(SYNCHRONIZE, FALSE, InstanceMutexName("sub\\A.INI", ExpectGlobalName()).c_str()));
  EXPECT_TRUE(byName.IsValid()) << "created under another name";

  // Created owned: another thread cannot take it.
  HANDLE thread = CreateThread(nullptr, 0, TryToTake, first.Get(), 0, nullptr);
  ASSERT_NE(thread, nullptr);
  WaitForSingleObject(thread, 10000);
  DWORD waited = 0;
  GetExitCodeThread(thread, &waited);
  CloseHandle(thread);
  EXPECT_EQ(waited, static_cast<DWORD>(WAIT_TIMEOUT));

  // A second holder is refused; another name is not.
  EXPECT_FALSE(CreateInstanceMutex("sub\\A.INI").IsValid());
  ScopedHandle other = CreateInstanceMutex("B.INI");
  EXPECT_TRUE(other.IsValid());
  ReleaseMutex(other.Get());

  ReleaseMutex(first.Get());
  first.Close();
  byName.Close();
  ScopedHandle again = CreateInstanceMutex("sub\\A.INI");
  EXPECT_TRUE(again.IsValid()) << "the name is free once the holder is gone";
  ReleaseMutex(again.Get());

  EXPECT_FALSE(CreateInstanceMutex("").IsValid());
}

}  // namespace
}  // namespace kq
