// The restart policy: the REBOOT value's modes, what each mode suppresses and
// leaves to MSIEXEC, and the arguments the resume shortcut hands on.
#include "config/restart_policy.h"

#include <gtest/gtest.h>

#include "config/setup_command_line.h"

namespace kq {
namespace {

TEST(RestartPolicy, EveryRebootValue) {
  const struct {
    const char* value;
    bool read, suppressed;
    const char* mainTail;  // what MSIEXEC gets when the main restart waits
  } cases[] = {
      {nullptr, true, false, " REBOOT=S"},  // no REBOOT given: this setup holds the restart back
      {"Force", true, false, ""},
      {"f", true, false, ""},
      {"Suppress", true, true, ""},
      {"s", true, true, ""},
      {"ReallySuppress", true, true, ""},
      {"r", true, true, ""},
      {"\"\"", true, false, ""},
      {"Maybe", false, false, ""},
      {"", false, false, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value != nullptr ? c.value : "(none)");
    RebootMode mode = RebootMode::kNone;
    if (c.value != nullptr) ASSERT_EQ(ReadRebootMode(c.value, mode), c.read);
    if (!c.read) continue;
    const RestartPolicy policy(mode);
    EXPECT_EQ(policy.RestartsSuppressed(), c.suppressed);
    EXPECT_EQ(policy.RebootGiven(), c.value != nullptr);
    // A suppressed restart waits whatever the nested setup says; else ONEREBOOT decides.
    EXPECT_EQ(policy.MainRestartWaits(false), c.suppressed);
    EXPECT_TRUE(policy.MainRestartWaits(true));
    std::string tail;
    policy.AppendWaitingRestart(tail, true);
    EXPECT_EQ(tail, c.mainTail);
    tail.clear();
    policy.AppendWaitingRestart(tail, false);
    EXPECT_EQ(tail, "");
  }
}

TEST(RestartArguments, MarkerAppendedOrNormalised) {
  constexpr TempCopyState kNotYet = TempCopyState::kNotYet;
  constexpr TempCopyState kFromCopy = TempCopyState::kRunningFromCopy;
  constexpr TempCopyState kNone = TempCopyState::kNone;
  struct Case {
    const char* arguments;
    TempCopyState state;
    const char* expected;
  } const cases[] = {
      {"/qb", kNotYet, "/qb"},                      // no copy: nothing to tell
      {"/qb", kFromCopy, "/qb /~"},                 // restarted from its copy: remove it
      {"/qb", kNone, "/qb /~-"},                    // no copy: run from the medium
      {"", kFromCopy, " /~"},
      {"/~ /qb", kFromCopy, "/~ /qb"},              // already there: unchanged
      {"/~- /qb", kNone, "/~  /qb"},                // "/~-" becomes "/~"
      {"A.INI /qn /~-", kNotYet, "A.INI /qn /~ "},
      {"/~ PROP=/~-", kFromCopy, "/~ PROP=/~-"},    // only the first occurrence counts
      {"X=1 /~", kNone, "X=1 /~"},                  // "/~" at the very end
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeRestartArguments(c.arguments, c.state), c.expected)
        << c.arguments << " state " << static_cast<int>(c.state);
  }
}

}  // namespace
}  // namespace kq
