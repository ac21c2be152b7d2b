#include "sys/scoped_handle.h"

#include <gtest/gtest.h>

#include <vector>

#include "msi/scoped_msi_handle.h"

namespace kq {
namespace {

// Closes through a counter that the traits object carries, as the MSI
// handles carry the MsiCloseHandle they were opened with; answers `succeeds`.
struct CountingTraits {
  using Handle = int;
  static Handle Invalid() { return 0; }
  static bool IsValid(Handle h) { return h != 0; }
  bool Close(Handle h) const {
    closed->push_back(h);
    return succeeds;
  }
  std::vector<int>* closed = nullptr;
  bool succeeds = true;
};
using Counted = ScopedGeneric<CountingTraits>;

TEST(ScopedGeneric, EachHandleIsClosedOnceByTheTraitsItCameWith) {
  std::vector<int> closed;
  {
    Counted first(1, CountingTraits{&closed});
    *first.Receive() = 2;  // closes 1 first
    Counted moved(std::move(first));
    EXPECT_FALSE(first.IsValid());
    Counted assigned;
    assigned = std::move(moved);
    EXPECT_EQ(assigned.Get(), 2);
    Counted released(3, CountingTraits{&closed});
    EXPECT_EQ(released.Release(), 3);  // not closed: the caller took it
  }
  EXPECT_EQ(closed, (std::vector<int>{1, 2}));
}

TEST(ScopedGeneric, AHandleWhoseCloseFailsStaysHeld) {
  std::vector<int> closed;
  Counted library(7, CountingTraits{&closed, false});
  EXPECT_FALSE(library.TryClose());
  EXPECT_EQ(library.Get(), 7);
  Counted freed(8, CountingTraits{&closed, true});
  EXPECT_TRUE(freed.TryClose());
  EXPECT_FALSE(freed.IsValid());
  EXPECT_TRUE(freed.TryClose());  // nothing held: nothing to close
  EXPECT_EQ(closed, (std::vector<int>{7, 8}));
  library.Release();
}

std::vector<MsiHandleValue> g_msiClosed;
UINT WINAPI RecordMsiClose(MsiHandleValue handle) {
  g_msiClosed.push_back(handle);
  return ERROR_SUCCESS;
}

TEST(ScopedGeneric, AnMsiHandleIsClosedByTheEntryPointItWasGiven) {
  g_msiClosed.clear();
  {
    ScopedMsiHandle view = MsiHandleClosedBy(&RecordMsiClose);
    *view.Receive() = 0x11;
    *view.Receive() = 0x12;
    ScopedMsiHandle none = MsiHandleClosedBy(nullptr);  // a missing entry point closes nothing
    *none.Receive() = 0x13;
  }
  EXPECT_EQ(g_msiClosed, (std::vector<MsiHandleValue>{0x11, 0x12}));
}

}  // namespace
}  // namespace kq
