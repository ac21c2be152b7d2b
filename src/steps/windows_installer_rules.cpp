#include "steps/windows_installer_rules.h"

#include "text/ascii_text.h"
#include "text/mbcs_path.h"

namespace kq {

namespace {

constexpr char kBuiltIn9xAddress[] = "http://download.microsoft.com/msdn-files/027/001/455/instmsia.exe";
constexpr char kBuiltInNTAddress[] = "http://download.microsoft.com/msdn-files/027/001/456/instmsiw.exe";

}  // namespace

std::string MediumInstallerCommandLine(WindowsFamily family, const std::string& setupFolder) {
  if (family == WindowsFamily::k9x) return QuotedPath(JoinPath(setupFolder, "INS9XMSI.EXE"));
  if (family == WindowsFamily::kNt) return QuotedPath(JoinPath(setupFolder, "INSNTMSI.EXE"));
  return std::string();
}

std::string InstallerDownloadAddress(WindowsFamily family, const std::string& configured) {
  if (family == WindowsFamily::k9x) return configured.empty() ? kBuiltIn9xAddress : configured;
  if (family == WindowsFamily::kNt) return configured.empty() ? kBuiltInNTAddress : configured;
  return std::string();
}

int DownloadProgressPosition(int64_t bytesSoFar, int64_t totalSize) {
  if (totalSize <= 0 || bytesSoFar <= 0) return 0;
  if (bytesSoFar >= totalSize) return 100;
  return static_cast<int>(bytesSoFar * 100 / totalSize);
}

bool IsSha256Text(const std::string& text) {
  if (text.size() != 64) return false;
  for (char c : text) {
    if (!IsHexDigit(c)) return false;
  }
  return true;
}

bool Sha256Matches(const std::string& expected, const std::string& computed) {
  if (!IsSha256Text(expected) || !IsSha256Text(computed)) return false;
  for (size_t i = 0; i < expected.size(); ++i) {
    if (HexDigitValue(expected[i]) != HexDigitValue(computed[i])) return false;
  }
  return true;
}

}  // namespace kq
