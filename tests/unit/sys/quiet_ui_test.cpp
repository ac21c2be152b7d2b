// The UI-level unit: every level's option, its number in the log, and the
// groups the steps ask for, as one table; and the raw look at the process
// command line that decides the dialog and the boxes.
#include "sys/quiet_ui.h"

#include <gtest/gtest.h>

namespace kq {
namespace {

TEST(QuietUi, EveryLevelWithItsOptionNumberAndGroups) {
  using L = UiLevel;
  const struct {
    UiLevel level;
    const char* option;  // as MSIEXEC gets it, and as the parser reads it
    int number;
    bool noBoxes, silent, quietEngine, hidden, given, lessThanFull;
  } cases[] = {
      {L::kNone, "", 0, false, false, false, false, false, false},
      {L::kFull, " /qf", 1, false, false, false, false, true, false},
      {L::kReduced, " /qr", 2, false, false, false, false, true, true},
      {L::kBasicModalEnd, " /qb+", 3, false, false, false, false, true, true},
      {L::kBasic, " /qb", 4, false, false, true, false, true, true},
      {L::kBasicNoModal, " /qb-", 5, true, true, true, false, true, true},
      {L::kNoneModalEnd, " /qn+", 6, false, true, false, false, true, true},
      {L::kQuiet, " /qn", 7, true, true, true, true, true, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.number);
    EXPECT_EQ(UiLevelOptionText(c.level), std::string(c.option));
    EXPECT_EQ(UiLevelNumber(c.level), c.number);
    if (c.option[0] != '\0') EXPECT_EQ(UiLevelOfOption(c.option + 2), c.level);
    EXPECT_EQ(ShowsNoBoxes(c.level), c.noBoxes);
    EXPECT_EQ(IsSilentUiLevel(c.level), c.silent);
    EXPECT_EQ(InstallsEngineQuietly(c.level), c.quietEngine);
    EXPECT_EQ(HidesDialog(c.level), c.hidden);
    EXPECT_EQ(HasUiOption(c.level), c.given);
    EXPECT_EQ(AsksForLessThanFullUi(c.level), c.lessThanFull);
  }
}

TEST(QuietUi, OptionWordsOfEveryCase) {
  using L = UiLevel;
  const struct {
    const char* option;
    UiLevel level;
  } cases[] = {
      {"q", L::kQuiet},       {"QN", L::kQuiet},      {"Quiet", L::kQuiet},     {"PASSIVE", L::kBasicNoModal},
      {"QB+", L::kBasicModalEnd}, {"qN+", L::kNoneModalEnd}, {"qz", L::kNone}, {"qb--", L::kNone},
      {"quiets", L::kNone},   {"i", L::kNone},        {"", L::kNone},
  };
  for (const auto& c : cases) EXPECT_EQ(UiLevelOfOption(c.option), c.level) << c.option;
  EXPECT_EQ(UiLevelOfCommandLine("SETUP.EXE /qb \"A=/qn\" -qr"), L::kReduced);
  EXPECT_EQ(UiLevelOfCommandLine("SETUP.EXE /"), L::kNone);
}

TEST(QuietUi, TheRawCommandLineIsQuietAtBasicNoModalAndQuiet) {
  const struct {
    const char* commandLine;
    bool quiet;
    bool hidden;  // kQuiet: the dialog is never shown
  } cases[] = {
      {"setup.exe /qn", true, true},   {"setup.exe /Qn", true, true},   {"setup.exe /QN", true, true},
      {"setup.exe /q", true, true},    {"setup.exe -qn", true, true},   {"setup.exe /quiet", true, true},
      {"setup.exe -QUIET", true, true}, {"setup.exe /qb-", true, false}, {"setup.exe -QB-", true, false},
      {"setup.exe /Passive", true, false},
      {"\"C:\\a b\\setup.exe\" OTHER.INI /qn ALLUSERS=1", true, true},
      {"setup.exe /qn /qf", false, false},  // the last UI option counts
      {"setup.exe /qn+", false, false}, {"setup.exe /qb", false, false}, {"setup.exe /qb+", false, false},
      {"setup.exe /qr", false, false},  {"setup.exe", false, false},     {"setup.exe /qz", false, false},
      {"setup.exe PROP=\"a /qn\"", false, false},  // quoted text is no option
      {"setup.exe A/qn", false, false},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(QuietCommandLine(c.commandLine), c.quiet) << c.commandLine;
    EXPECT_EQ(HiddenDialogCommandLine(c.commandLine), c.hidden) << c.commandLine;
  }
}

// The final restart question reads the argument text on its own terms.
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
