// The program's memory for thrown objects (app/exception_memory.cpp, linked
// into this test in place of the runtime's): objects of any size, nested
// and rethrown exceptions, on several threads, arrive whole.
#include <windows.h>

#include <exception>
#include <string>

#include <gtest/gtest.h>

#include "sys/scoped_handle.h"

namespace kq {
namespace {

struct Large {
  char bytes[8192];
};

std::string ThrowCatchAndRethrow(const std::string& text) {
  std::exception_ptr saved;
  try {
    try {
      throw text;
    } catch (const std::string&) {
      try {
        Large large{};
        large.bytes[sizeof(large.bytes) - 1] = 'L';
        throw large;
      } catch (const Large& inner) {
        if (inner.bytes[sizeof(inner.bytes) - 1] != 'L') return "large object damaged";
      }
      saved = std::current_exception();
      throw;
    }
  } catch (const std::string& outer) {
    if (outer != text) return "outer object damaged";
  }
  try {
    std::rethrow_exception(saved);
  } catch (const std::string& again) {
    return again;
  }
  return "not rethrown";
}

DWORD WINAPI Repeat(void* result) {
  auto& text = *static_cast<std::string*>(result);
  for (int i = 0; i < 200 && text == "thread"; ++i) text = ThrowCatchAndRethrow("thread");
  return 0;
}

TEST(ExceptionMemory, ThrownObjectsArriveWholeOnEveryThread) {
  EXPECT_EQ(ThrowCatchAndRethrow("a string long enough to live on the heap, not in the object"),
            "a string long enough to live on the heap, not in the object");
  std::string results[4] = {"thread", "thread", "thread", "thread"};
  ScopedHandle threads[4];
  HANDLE waits[4];
  for (int i = 0; i < 4; ++i) {
    threads[i].Reset(CreateThread(nullptr, 0, Repeat, &results[i], 0, nullptr));
    ASSERT_TRUE(threads[i]);
    waits[i] = threads[i].Get();
  }
  ASSERT_EQ(WaitForMultipleObjects(4, waits, TRUE, 30000), WAIT_OBJECT_0);
  for (const std::string& result : results) EXPECT_EQ(result, "thread");
}

}  // namespace
}  // namespace kq
