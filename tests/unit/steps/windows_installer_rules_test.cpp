// The portable rules of the Windows Installer bootstrap.
#include <gtest/gtest.h>

#include "steps/windows_installer_rules.h"

namespace kq {
namespace {

TEST(WindowsInstallerRules, MediumCommandLinePerFamily) {
  EXPECT_EQ(MediumInstallerCommandLine(WindowsFamily::k9x, "C:\\m dir\\"), "\"C:\\m dir\\INS9XMSI.EXE\"");
  EXPECT_EQ(MediumInstallerCommandLine(WindowsFamily::kNt, "D:\\"), "\"D:\\INSNTMSI.EXE\"");
  EXPECT_EQ(MediumInstallerCommandLine(WindowsFamily::kUnknown, "D:\\"), "");
}

TEST(WindowsInstallerRules, DownloadAddresses) {
  EXPECT_EQ(InstallerDownloadAddress(WindowsFamily::k9x, ""),
            "http://download.microsoft.com/msdn-files/027/001/455/instmsia.exe");
  EXPECT_EQ(InstallerDownloadAddress(WindowsFamily::kNt, ""),
            "http://download.microsoft.com/msdn-files/027/001/456/instmsiw.exe");
  EXPECT_EQ(InstallerDownloadAddress(WindowsFamily::kNt, "http://k/w.exe"), "http://k/w.exe");
  EXPECT_EQ(InstallerDownloadAddress(WindowsFamily::kUnknown, "http://k/w.exe"), "");
}

TEST(WindowsInstallerRules, ProgressPositionIn64BitsWithinZeroToHundred) {
  EXPECT_EQ(DownloadProgressPosition(0, 1000), 0);
  EXPECT_EQ(DownloadProgressPosition(999, 1000), 99);
  EXPECT_EQ(DownloadProgressPosition(1000, 1000), 100);
  // 32-bit arithmetic would overflow bytes * 100 here.
  EXPECT_EQ(DownloadProgressPosition(2000000000, 2147483647), 93);
  EXPECT_EQ(DownloadProgressPosition(5000, 1000), 100);
  EXPECT_EQ(DownloadProgressPosition(-5, 1000), 0);
  EXPECT_EQ(DownloadProgressPosition(5, 0), 0);
  EXPECT_EQ(DownloadProgressPosition(5, -1), 0);
}

TEST(WindowsInstallerRules, Sha256Comparison) {
  const std::string digest = "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855";
  std::string upper = digest;
  for (char& c : upper) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_TRUE(IsSha256Text(upper));
  EXPECT_TRUE(Sha256Matches(upper, digest));
  EXPECT_TRUE(Sha256Matches(digest, digest));
  EXPECT_FALSE(Sha256Matches(digest.substr(0, 63) + "4", digest));
  EXPECT_FALSE(Sha256Matches(digest.substr(0, 63), digest));
  EXPECT_FALSE(Sha256Matches(digest.substr(0, 63) + "g", digest));
  EXPECT_FALSE(Sha256Matches("", digest));
}

}  // namespace
}  // namespace kq
