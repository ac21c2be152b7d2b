#include "sys/instance_mutex.h"

#include <gtest/gtest.h>

#include "sys/test_support.h"

#include <cstdlib>
#include <string>

namespace kq {
namespace {

const bool kLogOn = (test::EnableSetupLog(), true);

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

// Another setup's run: holds the mutex until `done` (a moment when it ends
// without releasing it), then releases it or not.
struct Holder {
  bool release;
  ScopedHandle held{CreateEventA(nullptr, TRUE, FALSE, nullptr)}, done{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
};

DWORD WINAPI Hold(LPVOID parameter) {
  Holder& holder = *static_cast<Holder*>(parameter);
  ScopedHandle mutex = CreateInstanceMutex("WAIT.INI");
  SetEvent(holder.held.Get());
  WaitForSingleObject(holder.done.Get(), holder.release ? 20000 : 300);
  if (holder.release) ReleaseMutex(mutex.Get());
  return 0;
}

// A resume's wait: the mutex is taken once its holder ends without releasing
// it (a release is the logon scenario's); given up at the bound or when the
// session ends.
TEST(InstanceMutex, AResumeWaitsUntilTheHolderEndsTheBoundPassesOrTheSessionEnds) {
  ASSERT_TRUE(kLogOn);
  const struct {
    DWORD timeoutMs;
    bool sessionEnds, release;
    const char* logged;
  } cases[] = {{20000, false, false, "The other setup ended without releasing the instance mutex; this one goes on"},
               {1000, false, true, "The other setup was still running after 1 seconds: the wait ends"},
               {20000, true, true, "The session is ending: the wait for the other setup ends"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.logged);
    Holder holder{c.release};
    ScopedHandle thread(CreateThread(nullptr, 0, Hold, &holder, 0, nullptr));
    ASSERT_EQ(WaitForSingleObject(holder.held.Get(), 10000), WAIT_OBJECT_0);
    ScopedHandle sessionEnd(CreateEventA(nullptr, TRUE, c.sessionEnds, nullptr));
    const test::LogCapture log;
    bool waited = false;
    ScopedHandle mutex = WaitForInstanceMutex("wait.ini", sessionEnd.Get(), c.timeoutMs, waited);
    EXPECT_TRUE(waited && log.Contains("Waiting for the other setup of wait.ini to finish (at most " +
                                       std::to_string(c.timeoutMs / 1000) + " seconds)")) << log.Lines();
    EXPECT_EQ(mutex.IsValid(), !c.release);
    EXPECT_TRUE(log.Contains(c.logged)) << log.Lines();
    if (mutex) ReleaseMutex(mutex.Get());
    SetEvent(holder.done.Get());
    WaitForSingleObject(thread.Get(), 10000);
  }
  bool waited = true;
  ScopedHandle free = WaitForInstanceMutex("WAIT.INI", nullptr, 0, waited);
  EXPECT_TRUE(free.IsValid() && !waited) << "nobody holds it: taken at once";
  ReleaseMutex(free.Get());
}

}  // namespace
}  // namespace kq
