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

TEST(FinalReboot, RebootPropertyAndQuestion) {
  struct Case {
    const char* arguments;
    int rebootMode;  // as the parser sets it
    int uiLevel;
    bool reboots;
    bool asks;
  } const cases[] = {
      {"", 0, 0, true, true},
      {"REBOOT=S", 2, 0, false, true},
      {"REBOOT=ReallySuppress", 3, 0, false, true},
      {"reboot=s", 2, 0, false, true},      // the parsed mode counts in any case
      {"reboot=f", 1, 0, true, true},
      {"/norestart", 3, 0, false, true},
      {"/QB", 0, 4, true, false},
      {"/QB+", 0, 3, true, true},
      {"/QF", 0, 1, true, true},
      {"/QR", 0, 2, true, true},
      {"-QR", 0, 2, true, true},
      {"-QB", 0, 4, true, false},           // "-" is "/"
      {"/QN+", 0, 6, true, true},
      {"/QN", 0, 7, true, false},
      {"/qb", 0, 4, true, true},            // the switch tests are case-sensitive...
      {"/qn", 0, 7, true, false},           // ...but a run that shows no box is never asked
      {"/quiet", 0, 7, true, false},
      {"/qb-", 0, 5, true, false},
      {"/passive", 0, 5, true, false},
      {"/QB- /QF", 0, 1, true, true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WantsFinalReboot(c.arguments, c.rebootMode), c.reboots) << c.arguments;
    EXPECT_EQ(AsksBeforeFinalReboot(c.arguments, c.uiLevel), c.asks) << c.arguments;
  }
}

}  // namespace
}  // namespace kq
