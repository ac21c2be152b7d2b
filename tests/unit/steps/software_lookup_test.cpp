// The Uninstall entry lookups against Wine's registry, with entries written
// directly (run once per Windows version); the steps' internal errors.
#include <gtest/gtest.h>

#include <functional>

#include "sys/recording_platform.h"
#include "steps/installed_version.h"
#include "steps/setup_engine.h"
#include "steps/uninstall_command.h"
#include "sys/format.h"
#include "sys/scoped_handle.h"
#include "sys/wide_ansi.h"

namespace kq {
namespace {

using testing_support::RaisedCode;

constexpr char kUninstall[] = "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\";

// Uninstall entries made for one test and deleted after it.
class Entries {
 public:
  ~Entries() {
    for (const auto& made : made_) RegDeleteKeyA(made.first, made.second.c_str());
  }
  void Text(HKEY root, const std::string& entry, const char* name, const std::string& value, DWORD type = REG_SZ) {
    Set(root, entry, name, type, value.c_str(), static_cast<DWORD>(value.size() + 1));
  }
  void Number(HKEY root, const std::string& entry, const char* name, DWORD value) {
    Set(root, entry, name, REG_DWORD, &value, sizeof value);
  }

 private:
  void Set(HKEY root, const std::string& entry, const char* name, DWORD type, const void* data, DWORD size) {
    const std::string path = kUninstall + entry;
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExA(root, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    ScopedRegKey owned(key);
    ASSERT_EQ(RegSetValueExA(key, name, 0, type, static_cast<const BYTE*>(data), size), ERROR_SUCCESS);
    made_.emplace_back(root, path);
  }
  std::vector<std::pair<HKEY, std::string>> made_;
};

std::string Command(const char* entry) {
  std::string name = "stale";
  std::string command = "stale";
  const bool found = GetUninstallCommand(entry, name, command);
  return std::to_string(found) + "|" + name + "|" + command;
}

TEST(UninstallCommand, FromTheEntryOfEachKindOfProduct) {
  Entries e;
  const std::string msi = "{KQ-LOOKUP-MSI}";
  e.Text(HKEY_LOCAL_MACHINE, msi, "DisplayName", "Korvane Old");
  e.Number(HKEY_LOCAL_MACHINE, msi, "WindowsInstaller", 1);
  e.Text(HKEY_LOCAL_MACHINE, msi, "UninstallString", "ignored.exe");
  EXPECT_EQ(Command(msi.c_str()), "1|Korvane Old|" + SystemFolderPath() + "MSIEXEC /x " + msi);

  const std::string locked = "{KQ-LOOKUP-LOCKED}";
  e.Text(HKEY_LOCAL_MACHINE, locked, "DisplayName", "Locked");
  e.Number(HKEY_LOCAL_MACHINE, locked, "WindowsInstaller", 1);
  e.Number(HKEY_LOCAL_MACHINE, locked, "NoRemove", 1);
  EXPECT_EQ(Command(locked.c_str()), "1|Locked|") << "installed, but may not be removed";

  // NoRemove counts only for Windows Installer products.
  const std::string tool = "KqLookupTool";
  const std::string longName(700, 'N');
  e.Text(HKEY_LOCAL_MACHINE, tool, "DisplayName", longName);
  e.Number(HKEY_LOCAL_MACHINE, tool, "NoRemove", 1);
  e.Text(HKEY_LOCAL_MACHINE, tool, "UninstallString", "%KQ_LOOKUP_DIR%\\uninst.exe /y", REG_EXPAND_SZ);
  SetEnvironmentVariableA("KQ_LOOKUP_DIR", "C:\\Tools");
  EXPECT_EQ(Command(tool.c_str()), "1|" + longName + "|C:\\Tools\\uninst.exe /y");
  SetEnvironmentVariableA("KQ_LOOKUP_DIR", nullptr);

  // Found in the current user's key when the machine has none.
  const std::string user = "KqLookupUser";
  e.Text(HKEY_CURRENT_USER, user, "DisplayName", "Per User");
  e.Text(HKEY_CURRENT_USER, user, "UninstallString", "\"C:\\P U\\un.exe\"");
  EXPECT_EQ(Command(user.c_str()), "1|Per User|\"C:\\P U\\un.exe\"");

  // Not installed: no display name, or neither installer nor command.
  const std::string nameless = "KqLookupNameless";
  e.Text(HKEY_LOCAL_MACHINE, nameless, "UninstallString", "x.exe");
  EXPECT_EQ(Command(nameless.c_str()).substr(0, 3), "0||");
  const std::string commandless = "KqLookupCommandless";
  e.Text(HKEY_LOCAL_MACHINE, commandless, "DisplayName", "No Command");
  EXPECT_EQ(Command(commandless.c_str()).substr(0, 2), "0|");
  // The machine's entry decides even when it lacks a name and the user's has one.
  e.Text(HKEY_CURRENT_USER, nameless, "DisplayName", "User Copy");
  EXPECT_EQ(Command(nameless.c_str()).substr(0, 2), "0|");

  EXPECT_EQ(Command("KqLookupMissing"), "0||");
  EXPECT_EQ(Command(nullptr), "0||");
  EXPECT_EQ(Command(""), "0||") << "the Uninstall key itself is no product";
}

std::string Version(const std::string& entry) {
  VersionNumber v(9, 9, 9, 9);
  const bool found = GetInstalledVersion(entry.c_str(), v);
  return std::to_string(found) + " " + v.ToString();
}

TEST(InstalledVersion, FirstReadableSourceDecides) {
  Entries e;
  // Windows Installer's packing: a 16-bit build (1.2.300).
  e.Number(HKEY_LOCAL_MACHINE, "KqVersionPacked", "Version", 0x0102012C);
  e.Number(HKEY_LOCAL_MACHINE, "KqVersionPacked", "VersionMajor", 7);
  e.Text(HKEY_LOCAL_MACHINE, "KqVersionPacked", "DisplayVersion", "8.0");
  EXPECT_EQ(Version("KqVersionPacked"), "1 1.2.300.0");

  e.Number(HKEY_LOCAL_MACHINE, "KqVersionPair", "VersionMajor", 0x10002);
  e.Number(HKEY_LOCAL_MACHINE, "KqVersionPair", "VersionMinor", 3);
  e.Text(HKEY_LOCAL_MACHINE, "KqVersionPair", "Version", "9.9");  // a text is no packed version
  EXPECT_EQ(Version("KqVersionPair"), "1 2.3.0.0");

  e.Number(HKEY_LOCAL_MACHINE, "KqVersionHalfPair", "VersionMajor", 4);
  e.Text(HKEY_LOCAL_MACHINE, "KqVersionHalfPair", "DisplayVersion", "4.2b");
  EXPECT_EQ(Version("KqVersionHalfPair"), "1 4.2.1.0");

  e.Text(HKEY_LOCAL_MACHINE, "KqVersionBadText", "DisplayVersion", "v4");
  e.Text(HKEY_LOCAL_MACHINE, "KqVersionBadText", "DisplayName", "Tool 5.0");
  EXPECT_EQ(Version("KqVersionBadText"), "0 0.0.0.0") << "no fallback after DisplayVersion";

  e.Text(HKEY_CURRENT_USER, "KqVersionName", "DisplayName", "Tool 70000 Edition 6.1");
  EXPECT_EQ(Version("KqVersionName"), "1 6.1.0.0");
  e.Text(HKEY_LOCAL_MACHINE, "KqVersionNone", "DisplayName", "Tool");
  EXPECT_EQ(Version("KqVersionNone"), "0 0.0.0.0");
  EXPECT_EQ(Version("KqVersionMissing"), "0 0.0.0.0");
}

TEST(SoftwareSteps, WithoutACommandLineAreInternalErrors) {
  testing_support::RecordingPlatform platform;
  SetupEngine engine(nullptr, nullptr);
  const std::pair<uint32_t, std::function<void()>> steps[] = {
      {2, [&] { engine.HasProductRegistryKey(); }},
      {10, [&] { engine.UninstallPreviousVersions(); }},
      {17, [&] { engine.CheckIncompatibleApplications(); }},
      {21, [&] { engine.UninstallIncompatibleApplications(); }},
      {22, [&] { engine.ShutDownApplications(); }},
      {25, [&] { engine.CheckUpgradeConditions(); }},
  };
  for (const auto& step : steps) {
    EXPECT_EQ(RaisedCode(step.second), 0x80004003u) << step.first;
    ASSERT_FALSE(platform.Boxes().empty());
    EXPECT_EQ(platform.Boxes().back().text, Format("Error Code: %04X.80004003", step.first));
  }
}

}  // namespace
}  // namespace kq
