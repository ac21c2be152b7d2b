// The program's per-thread exception state (app/exception_globals.cpp,
// linked into this test in place of the runtime's): each thread sees only
// the exceptions it handles, and throwing keeps the thread's last error.
#include <windows.h>

#include <exception>

#include <gtest/gtest.h>

#include "sys/scoped_handle.h"

namespace kq {
namespace {

struct Handoff {
  ScopedHandle caught{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  ScopedHandle checked{CreateEventA(nullptr, TRUE, FALSE, nullptr)};
  bool sawOwn = false;
};

DWORD WINAPI HoldACaughtException(void* context) {
  auto& handoff = *static_cast<Handoff*>(context);
  try {
    throw 7;
  } catch (int) {
    SetEvent(handoff.caught.Get());
    WaitForSingleObject(handoff.checked.Get(), 10000);
    handoff.sawOwn = std::current_exception() != nullptr;
  }
  return 0;
}

TEST(ExceptionGlobals, AThreadSeesOnlyTheExceptionsItHandles) {
  Handoff handoff;
  ScopedHandle thread(CreateThread(nullptr, 0, HoldACaughtException, &handoff, 0, nullptr));
  ASSERT_TRUE(thread);
  ASSERT_EQ(WaitForSingleObject(handoff.caught.Get(), 10000), WAIT_OBJECT_0);
  EXPECT_EQ(std::current_exception(), nullptr) << "the other thread's exception is not this one's";
  SetEvent(handoff.checked.Get());
  ASSERT_EQ(WaitForSingleObject(thread.Get(), 10000), WAIT_OBJECT_0);
  EXPECT_TRUE(handoff.sawOwn);
}

TEST(ExceptionGlobals, ThrowingKeepsTheLastError) {
  SetLastError(1234);
  try {
    throw 1;
  } catch (int) {
    EXPECT_EQ(GetLastError(), 1234u);
  }
}

}  // namespace
}  // namespace kq
