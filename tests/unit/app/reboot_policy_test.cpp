// The restart arguments handed to the resume shortcut and the decisions
// about the final reboot, as tables over the argument text.
#include "app/reboot_policy.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

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

TEST(FinalReboot, Question) {
  using L = UiLevel;
  struct Case {
    const char* arguments;
    UiLevel uiLevel;
    bool asks;
  } const cases[] = {
      {"", L::kNone, true},
      {"/QB", L::kBasic, false},
      {"/QB+", L::kBasicModalEnd, true},
      {"/QF", L::kFull, true},
      {"/QR", L::kReduced, true},
      {"-QR", L::kReduced, true},
      {"-QB", L::kBasic, false},           // "-" is "/"
      {"/QN+", L::kNoneModalEnd, true},
      {"/QN", L::kQuiet, false},
      {"/qb", L::kBasic, true},            // the switch tests are case-sensitive...
      {"/qn", L::kQuiet, false},           // ...but a run that shows no box is never asked
      {"/quiet", L::kQuiet, false},
      {"/qb-", L::kBasicNoModal, false},
      {"/passive", L::kBasicNoModal, false},
      {"/QB- /QF", L::kFull, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AsksBeforeFinalReboot(c.arguments, c.uiLevel), c.asks) << c.arguments;
  }
}

}  // namespace
}  // namespace kq
