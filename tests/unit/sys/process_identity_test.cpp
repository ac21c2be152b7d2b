// A process told apart from a later one with its identifier: this process,
// a child while it runs and after it ended, and a recorded identity whose
// identifier another process has since taken.
#include "sys/process_identity.h"

#include <gtest/gtest.h>

#include "sys/child_process.h"
#include "sys/scoped_handle.h"
#include "sys/test_support.h"

namespace kq {
namespace {

TEST(ProcessIdentity, RunningUntilItEndsAndNeverAnotherProcessWithItsId) {
  const ProcessIdentity self = CurrentProcessIdentity();
  EXPECT_EQ(self.id, GetCurrentProcessId());
  EXPECT_NE(self.started, 0u) << "Wine answers GetProcessTimes in every reported version";
  EXPECT_TRUE(IsProcessRunning(self));
  EXPECT_FALSE(IsProcessRunning(ProcessIdentity{}));

  ProcessIdentity reused = self;
  ++reused.started;  // the same identifier, started at another time
  EXPECT_FALSE(IsProcessRunning(reused));
  reused.started = 0;  // a 9x record, which has no start time
  EXPECT_TRUE(IsProcessRunning(reused));

  test::ScopedEnvironment wait("KQCHILD_WAIT", "300");
  ScopedHandle child;
  ASSERT_TRUE(StartChildProcess(test::ChildProgram(), CommandLineLogging::kLog, child));
  const ProcessIdentity running{GetProcessId(child.Get()), 0};
  EXPECT_TRUE(IsProcessRunning(running));
  ASSERT_EQ(WaitForSingleObject(child.Get(), INFINITE), WAIT_OBJECT_0);
  EXPECT_FALSE(IsProcessRunning(running)) << "an ended process whose handle is still open";
}

}  // namespace
}  // namespace kq
