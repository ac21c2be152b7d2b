// The restart arguments handed to the resume shortcut and the decisions
// about the final reboot, as tables over the argument text.
#include "app/reboot_policy.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

TEST(RestartArguments, MarkerAppendedOrNormalised) {
  struct Case {
    const char* arguments;
    int marker;
    const char* expected;
  } const cases[] = {
      {"/qb", 0, "/qb"},                            // no copy: nothing to tell
      {"/qb", 1, "/qb /~"},                         // restarted from its copy: remove it
      {"/qb", 2, "/qb /~-"},                        // copy kept: leave it
      {"", 1, " /~"},
      {"/~ /qb", 1, "/~ /qb"},                      // already there: unchanged
      {"/~- /qb", 2, "/~  /qb"},                    // "/~-" becomes "/~"
      {"A.INI /qn /~-", 0, "A.INI /qn /~ "},
      {"/~ PROP=/~-", 1, "/~ PROP=/~-"},            // only the first occurrence counts
      {"X=1 /~", 2, "X=1 /~"},                      // "/~" at the very end
  };
  for (const Case& c : cases) {
    EXPECT_EQ(MakeRestartArguments(c.arguments, c.marker), c.expected) << c.arguments << " marker " << c.marker;
  }
}

TEST(FinalReboot, Question) {
  struct Case {
    const char* arguments;
    int uiLevel;
    bool asks;
  } const cases[] = {
      {"", 0, true},
      {"/QB", 4, false},
      {"/QB+", 3, true},
      {"/QF", 1, true},
      {"/QR", 2, true},
      {"-QR", 2, true},
      {"-QB", 4, false},           // "-" is "/"
      {"/QN+", 6, true},
      {"/QN", 7, false},
      {"/qb", 4, true},            // the switch tests are case-sensitive...
      {"/qn", 7, false},           // ...but a run that shows no box is never asked
      {"/quiet", 7, false},
      {"/qb-", 5, false},
      {"/passive", 5, false},
      {"/QB- /QF", 1, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(AsksBeforeFinalReboot(c.arguments, c.uiLevel), c.asks) << c.arguments;
  }
}

}  // namespace
}  // namespace kq
