// IsPlatformQualified against the Windows version the prefix reports; the
// test runs once per version (KQ_WINE_VERSION). Boxes are recorded.
#include <gtest/gtest.h>

#include <cstdlib>
#include <map>
#include <vector>

#include "sys/recording_platform.h"
#include "config/setup_command_line.h"
#include "ini/memory_file_opener.h"
#include "steps/setup_engine.h"
#include "steps/step_message_box.h"
#include "sys/scoped_handle.h"

namespace kq {
namespace {

struct Box {
  HWND owner;
  std::string text;
  std::string caption;
  UINT style;
};

std::vector<Box>& Boxes() {
  static std::vector<Box> boxes;
  return boxes;
}

int RecordBox(HWND owner, const char* text, const char* caption, UINT style) {
  Boxes().push_back(Box{owner, text, caption, style});
  return IDOK;
}

std::string Version() {
  const char* version = std::getenv("KQ_WINE_VERSION");
  return version != nullptr ? version : "default";
}

class PlatformCheck : public ::testing::Test {
 protected:
  PlatformCheck() : previous_(SetStepMessageBox(RecordBox)) { Boxes().clear(); }
  ~PlatformCheck() override { SetStepMessageBox(previous_); }

  // IsPlatformQualified with the given SETUP.INI lines; -1 when it raised.
  int Check(const std::string& productInformation, uint32_t* raised = nullptr) {
    // A window of our own as the owner of the boxes.
    SetupEngine engine(window_, nullptr);
    files_.SetFile(engine.GetSetupFolder() + "SETUP.INI", "[ProductInformation]\r\nPackageName=p.msi\r\n" +
                                                             productInformation + "[ProductFeatures]\r\n");
    SetupCommandLine line(files_);
    EXPECT_TRUE(line.Parse(engine.GetSetupFolder().c_str(), ""));
    engine.SetCommandLine(&line);
    int result = -1;
    const uint32_t code = testing_support::RaisedCode([&] {
      result = engine.IsPlatformQualified();
      platformId_ = engine.GetPlatformId();
      RaiseSetupExitCode(0xC0FFEEu);
    });
    if (raised != nullptr) *raised = code;
    return result;
  }

  testing_support::RecordingPlatform platform_;
  MessageBoxFunction previous_;
  MemoryFileOpener files_;
  HWND window_ = GetDesktopWindow();
  int platformId_ = -1;
};

TEST_F(PlatformCheck, PlatformsListOnThisVersion) {
  // Expected result of each list per Windows version; absent: not checked.
  const std::map<std::string, std::map<std::string, int>> expected = {
      {"", {{"win98", 1}, {"nt40", 1}, {"win2k", 1}, {"winxp", 1}, {"win10", 1}}},
      {"NT:5.0", {{"win98", 0}, {"nt40", 0}, {"win2k", 1}, {"winxp", 1}, {"win10", 1}}},
      {"NT:4.0:6", {{"nt40", 1}, {"win2k", 1}}},
      {"NT:4.0:7", {{"nt40", 0}}},
      {"NT:5.0:5", {{"win2k", 0}, {"winxp", 1}}},
      {"9X:4.10,NT:5.1", {{"win98", 1}, {"win2k", 0}, {"winxp", 1}, {"win10", 1}}},
      {"nt:5.1:3.1,9x:4.90", {{"win98", 0}, {"winxp", 0}}},
  };
  const int family = Version() == "win98" ? 1 : 2;
  int checked = 0;
  for (const auto& [platforms, byVersion] : expected) {
    const auto wanted = byVersion.find(Version());
    if (wanted == byVersion.end()) continue;
    Boxes().clear();
    EXPECT_EQ(Check("Platforms=" + platforms + "\r\n"), wanted->second) << platforms;
    EXPECT_EQ(platformId_, family);
    if (wanted->second == 0) {
      ASSERT_EQ(Boxes().size(), 1u) << platforms;
      EXPECT_EQ(Boxes()[0].text, "This program does not support the operating system detected.");
      EXPECT_EQ(Boxes()[0].caption, "Error");
      EXPECT_EQ(Boxes()[0].style, static_cast<UINT>(MB_ICONERROR | MB_SETFOREGROUND));
      EXPECT_EQ(Boxes()[0].owner, window_);
    } else {
      EXPECT_TRUE(Boxes().empty()) << platforms;
    }
    ++checked;
  }
  EXPECT_GT(checked, 0) << "no expectations for version " << Version();
}

TEST_F(PlatformCheck, UnreadableNumbersAreInternalError8) {
  uint32_t raised = 0;
  EXPECT_EQ(Check("Platforms=9X:4.x,NT:5.y\r\n", &raised), -1);
  EXPECT_EQ(raised, 0x8004006Bu);
  ASSERT_FALSE(platform_.Boxes().empty());
  EXPECT_EQ(platform_.Boxes().back().text, "Error Code: 0008.8004006B");
  // A quoting error in the list is a refusal, not an internal error.
  EXPECT_EQ(Check("Platforms=\"NT:5.0\r\n", &raised), 0);
}

// The NT Server rule reads the real ProductOptions key; the value is set for
// the test and restored.
class NtServerCheck : public PlatformCheck {
 protected:
  NtServerCheck() {
    HKEY key = nullptr;
    RegCreateKeyExA(HKEY_LOCAL_MACHINE, "SYSTEM\\CurrentControlSet\\Control\\ProductOptions", 0, nullptr, 0,
                    KEY_QUERY_VALUE | KEY_SET_VALUE, nullptr, &key, nullptr);
    key_.Reset(key);
    char value[64] = {};
    DWORD size = sizeof value - 1;
    if (RegQueryValueExA(key_.Get(), "ProductType", nullptr, nullptr, reinterpret_cast<BYTE*>(value), &size) ==
        ERROR_SUCCESS)
      saved_ = value;
  }
  ~NtServerCheck() override {
    if (saved_.empty())
      RegDeleteValueA(key_.Get(), "ProductType");
    else
      SetProductType(saved_.c_str());
  }
  void SetProductType(const char* type) {
    RegSetValueExA(key_.Get(), "ProductType", 0, REG_SZ, reinterpret_cast<const BYTE*>(type),
                   static_cast<DWORD>(strlen(type) + 1));
  }
  ScopedRegKey key_;
  std::string saved_;
};

TEST_F(NtServerCheck, ServerRefusedOnlyWhenForbidden) {
  if (Version() == "win98") {
    SetProductType("ServerNT");
    EXPECT_EQ(Check("AllowNTServer=no\r\n"), 1) << "the rule is for the NT family only";
    return;
  }
  ASSERT_TRUE(key_.IsValid());
  for (const char* type : {"ServerNT", "LanmanNT"}) {
    SetProductType(type);
    Boxes().clear();
    // Refused before the Platforms list is looked at.
    EXPECT_EQ(Check("Platforms=NT:4.0\r\nAllowNTServer=no\r\n"), 0) << type;
    ASSERT_EQ(Boxes().size(), 1u);
    EXPECT_EQ(Boxes()[0].text, "This program will not install on Windows NT Server.");
    EXPECT_EQ(Boxes()[0].caption, "Error");
    EXPECT_EQ(Check("Platforms=NT:4.0\r\nAllowNTServer=FALSE\r\n"), 0) << type;
    for (const char* allow : {"", "yes", "TRUE", "00"}) {
      EXPECT_EQ(Check(std::string("Platforms=NT:4.0\r\nAllowNTServer=") + allow + "\r\n"), 1) << allow;
    }
  }
  SetProductType("WinNT");
  EXPECT_EQ(Check("AllowNTServer=0\r\n"), 1);
  SetProductType("servernt");  // the comparison is exact
  EXPECT_EQ(Check("AllowNTServer=0\r\n"), 1);
}

}  // namespace
}  // namespace kq
