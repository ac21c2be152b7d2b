// The checks that decide whether setup may go on at all: a Windows
// Installer disk prompt in progress, the platform, the Windows Installer
// version, the user's privileges.
#include <vector>

#include "sys/internal_error.h"
#include "config/setup_command_line.h"
#include "steps/platform_list.h"
#include "steps/setup_engine.h"
#include "steps/step_message_box.h"
#include "sys/messages.h"
#include "sys/scoped_handle.h"
#include "sys/setup_log.h"
#include "sys/install_privileges.h"

namespace kq {

namespace {

// The mutex Windows Installer holds while it prompts for a source disk.
constexpr const char kPromptForCdMutex[] = "__MsiPromptForCD";
constexpr const char kProductOptionsKey[] = "SYSTEM\\CurrentControlSet\\Control\\ProductOptions";

// ProductType of the ProductOptions key, empty when it cannot be read.
std::string ReadProductType() {
  HKEY opened = nullptr;
  if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kProductOptionsKey, 0, KEY_QUERY_VALUE, &opened) != ERROR_SUCCESS)
    return std::string();
  ScopedRegKey key(opened);
  DWORD type = 0;
  DWORD size = 0;
  if (RegQueryValueExA(key.Get(), "ProductType", nullptr, &type, nullptr, &size) != ERROR_SUCCESS ||
      type != REG_SZ || size == 0)
    return std::string();
  std::vector<char> buffer(size + 1, '\0');
  if (RegQueryValueExA(key.Get(), "ProductType", nullptr, &type, reinterpret_cast<BYTE*>(buffer.data()),
                       &size) != ERROR_SUCCESS)
    return std::string();
  return std::string(buffer.data());
}

}  // namespace

bool SetupEngine::IsPromptForCDMutexSet() {
  SetupLog("Checking if __MsiPromptForCD mutex is set");
  ScopedHandle mutex(OpenMutexA(SYNCHRONIZE, FALSE, kPromptForCdMutex));
  return mutex.IsValid();
}

void SetupEngine::ShowErrorBox(uint32_t messageId) const {
  ShowStepMessageBox(ownerWindow, GetMessageText(messageId).c_str(), GetMessageText(kMsgError).c_str(),
                     MB_ICONERROR | MB_SETFOREGROUND);
}

bool SetupEngine::IsPlatformQualified() {
  SetupLog("Checking if platform qualifies for installation");
  SetupCommandLine& attached = RequireCommandLine(kLocationPlatform);
  const SetupDataFile& data = attached.GetSetupDataFile();

  OSVERSIONINFOEXA version = {};
  static_assert(sizeof(OSVERSIONINFOEXA) == 156, "extended version record");
  version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOEXA);
  bool extended = GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version)) != FALSE;
  if (!extended) {
    // Windows 9x and NT 4.0 before Service Pack 6 know only the plain record.
    version = OSVERSIONINFOEXA();
    version.dwOSVersionInfoSize = sizeof(OSVERSIONINFOA);
    if (!GetVersionExA(reinterpret_cast<OSVERSIONINFOA*>(&version))) {
      const DWORD error = GetLastError();
      SetupLogF("The version of Windows cannot be read, Error code = 0x%08X", static_cast<unsigned>(error));
      RaiseInternalError(kLocationPlatform, HresultFromWin32(error));
    }
  }

  switch (version.dwPlatformId) {
    case VER_PLATFORM_WIN32s:
      platformId = WindowsFamily::kUnknown;
      ShowErrorBox(kMsgUnsupportedOs);
      return false;
    case VER_PLATFORM_WIN32_WINDOWS:
      platformId = WindowsFamily::k9x;
      break;
    case VER_PLATFORM_WIN32_NT: {
      const std::string& allowNtServer = data.GetAllowNTServer();
      if (ForbidsNtServer(allowNtServer)) {
        SetupLogF("Installation allowed to NT Server = %s", allowNtServer.c_str());
        if (IsServerProductType(ReadProductType())) {
          ShowErrorBox(kMsgNoNtServer);
          return false;
        }
      }
      platformId = WindowsFamily::kNt;
      break;
    }
    default:
      platformId = WindowsFamily::kUnknown;
      SetupLogF("Windows reports the platform %u, which is neither Windows 9x (1) nor NT (2)",
                static_cast<unsigned>(version.dwPlatformId));
      RaiseInternalError(kLocationPlatform, kErrorUnknownName);
  }

  RunningWindows running;
  running.majorVersion = version.dwMajorVersion;
  running.minorVersion = version.dwMinorVersion;
  running.hasServicePackNumbers = extended;
  running.servicePackMajor = version.wServicePackMajor;
  running.servicePackMinor = version.wServicePackMinor;
  version.szCSDVersion[sizeof version.szCSDVersion - 1] = '\0';
  running.csdVersion = version.szCSDVersion;

  switch (CheckPlatformList(data.GetPlatforms(), platformId, running)) {
    case PlatformVerdict::Qualifies:
      return true;
    case PlatformVerdict::BadNumber:
      SetupLogF("Platforms=%s in %s cannot be read: a version in its %s entry, or the service pack \"%s\" this "
                "Windows reports, is not a number; an entry is <9X or NT>:<major>[.<minor>][:<service pack>"
                "[.<minor>]], such as NT:5.1:2",
                data.GetPlatforms().c_str(), attached.GetDataFileName().c_str(), WindowsFamilyName(platformId),
                running.csdVersion.c_str());
      RaiseInternalError(kLocationPlatform, kErrorTokenize);
    case PlatformVerdict::Unsupported:
      break;
  }
  ShowErrorBox(kMsgUnsupportedOs);
  return false;
}

SetupEngine::InstallerState SetupEngine::ReadInstallerState() {
  const SetupDataFile& data = RequireCommandLine(kLocationInstallerVersion).GetSetupDataFile();
  DLLVERSIONINFO installed = {};
  if (!msiLibrary.GetMsiDllVersion(&installed)) return InstallerState::kOutdated;
  if (data.GetMsiVersion().empty()) return InstallerState::kCurrent;
  const MsiVersion* required = data.GetMsiVersionValue();
  if (required == nullptr) return InstallerState::kRequirementUnreadable;
  MsiVersion present;
  present.major = installed.dwMajorVersion;
  present.minor = installed.dwMinorVersion;
  present.build = installed.dwBuildNumber;
  return present.IsAtLeast(*required) ? InstallerState::kCurrent : InstallerState::kOutdated;
}

bool SetupEngine::IsMsiVersionReadable() const {
  const SetupDataFile& data = RequireCommandLine(kLocationInstallerVersion).GetSetupDataFile();
  return data.GetMsiVersion().empty() || data.GetMsiVersionValue() != nullptr;
}

void SetupEngine::LogUnreadableMsiVersion(const char* consequence) const {
  const SetupCommandLine& attached = RequireCommandLine(kLocationInstallerVersion);
  SetupLogF("MsiVersion=%s in %s cannot be read: a version is numbers separated by dots, such as 3.1 or "
            "4.5.6362%s",
            attached.GetSetupDataFile().GetMsiVersion().c_str(), attached.GetDataFileName().c_str(), consequence);
}

bool SetupEngine::IsInstallerVersionCurrent() {
  SetupLog("Checking if the Windows Installer is the correct version");
  const InstallerState state = ReadInstallerState();
  if (state == InstallerState::kRequirementUnreadable) {
    LogUnreadableMsiVersion("");
    RaiseInternalError(kLocationInstallerVersion, kErrorTokenize);
  }
  return state == InstallerState::kCurrent;
}

bool SetupEngine::HasInstallPrivileges() {
  SetupLog("Checking if the user has sufficient priviledges to install");
  return MayInstallEngine();
}

}  // namespace kq
