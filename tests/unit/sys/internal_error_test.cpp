#include "sys/internal_error.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "sys/recording_platform.h"
#include "sys/setup_exit_code.h"

namespace kq {
namespace {

using testing_support::RaisedCode;
using testing_support::RecordingPlatform;

TEST(SetupExitCode, SignedAndUnsignedCodesEndTheRunAlike) {
  EXPECT_EQ(RaisedCode([] { RaiseSetupExitCode(1602); }), 1602u);
  EXPECT_EQ(RaisedCode([] { RaiseSetupExitCode(-1); }), 0xFFFFFFFFu);
  EXPECT_EQ(RaisedCode([] { RaiseSetupExitCode(0xFFFFFFFFu); }), 0xFFFFFFFFu);
  EXPECT_EQ(RaisedCode([] { RaiseSetupExitCode(static_cast<int32_t>(0x80070005u)); }), 0x80070005u);
  EXPECT_EQ(RaisedCode([] { RaiseSetupExitCode(kExitIntermediateReboot); }), 460393u);
  EXPECT_EQ(RaisedCode([] { RaiseSetupExitCode(0); }), 0u);
}

TEST(SetupExitCode, AnythingElseIsAnUnexpectedFailure) {
  EXPECT_EQ(RaisedCode([] { throw std::runtime_error("x"); }), 0x8004FFFFu);
  EXPECT_EQ(RaisedCode([] { throw 1602; }), 0x8004FFFFu);
  EXPECT_EQ(RaisedCode([] {}), 0x8004FFFFu);
}

TEST(InternalError, ShowsLogsAndEndsTheRunWithTheCode) {
  RecordingPlatform platform;
  int owner = 0;
  EXPECT_NO_THROW(RaiseInternalError(0, 0, &owner));  // only records the owner
  EXPECT_EQ(InternalErrorOwner(), &owner);
  EXPECT_TRUE(platform.Boxes().empty());

  int otherWindow = 0;
  EXPECT_EQ(RaisedCode([&] { RaiseInternalError(23, 0x80004003u, &otherWindow); }), 0x80004003u);
  ASSERT_EQ(platform.Boxes().size(), 1u);
  EXPECT_EQ(platform.Boxes()[0].owner, &owner);  // the recorded window owns every box
  EXPECT_EQ(platform.Boxes()[0].caption, "Internal Error");
  EXPECT_EQ(platform.Boxes()[0].text, "Error Code: 0017.80004003");
  EXPECT_EQ(platform.LogLines(), (std::vector<std::string>{"Internal Error", "Error Code: 0017.80004003"}));

  SetInternalErrorOwner(&otherWindow);
  EXPECT_EQ(InternalErrorOwner(), &otherWindow);
  EXPECT_EQ(platform.Boxes().size(), 1u);
}

TEST(InternalError, FormatsTheLowSixteenBitsOfTheLocation) {
  RecordingPlatform platform;
  EXPECT_EQ(RaisedCode([] { RaiseInternalError(0x10E, 0x8004006Bu); }), 0x8004006Bu);
  EXPECT_EQ(RaisedCode([] { RaiseInternalError(0x12345678, 2); }), 2u);
  // Location 0 ends the run too unless it is the registration form.
  EXPECT_EQ(RaisedCode([] { RaiseInternalError(0, 5, nullptr); }), 5u);
  EXPECT_EQ(RaisedCode([] { RaiseInternalError(0, 0, nullptr); }), 0u);
  ASSERT_EQ(platform.Boxes().size(), 4u);
  EXPECT_EQ(platform.Boxes()[0].text, "Error Code: 010E.8004006B");
  EXPECT_EQ(platform.Boxes()[1].text, "Error Code: 5678.00000002");
  EXPECT_EQ(platform.Boxes()[2].text, "Error Code: 0000.00000005");
  EXPECT_EQ(platform.Boxes()[3].text, "Error Code: 0000.00000000");
}

TEST(InternalError, QuietRunsLogWithoutABox) {
  RecordingPlatform platform;
  platform.SetCommandLine("SETUP.EXE /qn");
  EXPECT_EQ(RaisedCode([] { RaiseInternalError(1, 0x8004006Cu); }), 0x8004006Cu);
  EXPECT_NO_THROW(ReportInternalError(24, 0x80070667u));  // reports without ending the run
  EXPECT_TRUE(platform.Boxes().empty());
  EXPECT_EQ(platform.LogLines(), (std::vector<std::string>{"Internal Error", "Error Code: 0001.8004006C",
                                                           "Internal Error", "Error Code: 0018.80070667"}));
}

TEST(InternalError, UsesTheUserLanguage) {
  RecordingPlatform platform;
  const struct {
    uint32_t locale;
    const char* caption;
    const char* text;
  } cases[] = {
      {0x0C07, "Interner Fehler", "Fehlercode: 0001.80040065"},
      {0x0407, "Interner Fehler", "Fehlercode: 0001.80040065"},
      {0x040C, "Erreur interne", "Code d'erreur\xA0: 0001.80040065"},  // a no-break space before ':'
      {0x0804, "\xc4\xda\xb2\xbf\xb4\xed\xce\xf3", "\xb4\xed\xce\xf3\xb4\xfa\xc2\xeb\xa3\xba" "0001.80040065"},  // a full-width colon
      {0x0411, "\x93\xe0\x95\x94\x83\x47\x83\x89\x81\x5b", "\x83\x47\x83\x89\x81\x5b \x83\x52\x81\x5b\x83\x68: 0001.80040065"},
      {0x0419, "Internal Error", "Error Code: 0001.80040065"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.locale);
    platform.SetUserLocale(c.locale);
    EXPECT_EQ(RaisedCode([] { RaiseInternalError(1, 0x80040065u); }), 0x80040065u);
    EXPECT_EQ(platform.Boxes().back().caption, c.caption);
    EXPECT_EQ(platform.Boxes().back().text, c.text);
  }
}

TEST(InternalError, ABoxTheRunGoesOnFromIsLocalizedOwnedByItsCallerAndLoggedWhenQuiet) {
  RecordingPlatform platform;
  int owner = 0;
  platform.SetUserLocale(0x0407);
  platform.SetCommandLine("SETUP.EXE /qb");
  EXPECT_NO_THROW(ShowInternalErrorBox(&owner, kLocationShortcutSave, 0x80070005u));
  ASSERT_EQ(platform.Boxes().size(), 1u);
  EXPECT_EQ(platform.Boxes()[0].owner, &owner);
  EXPECT_EQ(platform.Boxes()[0].caption, "Interner Fehler");
  EXPECT_EQ(platform.Boxes()[0].text, "Fehlercode: 03F2.80070005");
  EXPECT_TRUE(platform.LogLines().empty());

  platform.SetCommandLine("SETUP.EXE /passive");
  EXPECT_NO_THROW(ShowInternalErrorBox(&owner, kLocationShortcutStartupFolder, 2));
  EXPECT_EQ(platform.Boxes().size(), 1u);
  EXPECT_EQ(platform.LogLines(), (std::vector<std::string>{"Internal Error", "Fehlercode: 03E9.00000002"}));
  // The checker quotes the English text whatever the locale.
  EXPECT_EQ(InternalErrorCodeText(kLocationSetupDataLoad, kErrorSectionMissing), "Error Code: 0001.80040065");
}

}  // namespace
}  // namespace kq
