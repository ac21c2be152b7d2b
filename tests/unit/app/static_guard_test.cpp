// The program's own guard of function-local statics (app/static_guard.cpp,
// linked into this test in place of libstdc++'s): threads that make their
// first call together see one initialisation, whole; a constructor that
// throws leaves the static to the next caller.
#include <windows.h>

#include <gtest/gtest.h>

#include "sys/scoped_handle.h"

namespace kq {
namespace {

LONG constructions = 0;

struct Slow {
  Slow() {
    InterlockedIncrement(&constructions);
    Sleep(100);  // long enough for every thread to arrive
    value = 42;
  }
  int value = 0;
};

DWORD WINAPI ReadShared(void* seen) {
  static Slow shared;
  *static_cast<int*>(seen) = shared.value;
  return 0;
}

TEST(StaticGuard, ThreadsArrivingTogetherSeeOneWholeInitialisation) {
  constexpr int kThreads = 8;
  int seen[kThreads] = {};
  ScopedHandle threads[kThreads];
  HANDLE waits[kThreads];
  for (int i = 0; i < kThreads; ++i) {
    threads[i].Reset(CreateThread(nullptr, 0, ReadShared, &seen[i], 0, nullptr));
    ASSERT_TRUE(threads[i]);
    waits[i] = threads[i].Get();
  }
  ASSERT_EQ(WaitForMultipleObjects(kThreads, waits, TRUE, 10000), WAIT_OBJECT_0);
  EXPECT_EQ(constructions, 1);
  for (int value : seen) EXPECT_EQ(value, 42);
}

int attempts = 0;

struct FailsOnce {
  FailsOnce() {
    if (attempts++ == 0) throw 1;
  }
};

void UseFailsOnce() { static FailsOnce once; }

TEST(StaticGuard, AConstructorThatThrowsLeavesTheStaticToTheNextCaller) {
  EXPECT_ANY_THROW(UseFailsOnce());
  EXPECT_NO_THROW(UseFailsOnce());
  EXPECT_NO_THROW(UseFailsOnce());
  EXPECT_EQ(attempts, 2);
}

}  // namespace
}  // namespace kq
