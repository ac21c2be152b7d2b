// The Windows Installer bootstrap: when the engine is missing or too old,
// the redistributable of the running Windows family is started from the
// medium or, when the medium does not carry it, downloaded over HTTP into a
// temporary file (with the dialog's progress bar following the download)
// and started from there.
#include <windows.h>
#include <commctrl.h>

#include "sys/internal_error.h"
#include "sys/setup_exit_code.h"
#include "config/setup_command_line.h"
#include "http/kqhttp.h"
#include "steps/setup_engine.h"
#include "steps/step_message_box.h"
#include "steps/windows_installer_rules.h"
#include "sys/child_process.h"
#include "sys/file_sha256.h"
#include "sys/messages.h"
#include "sys/scoped_handle.h"
#include "sys/session_end.h"
#include "sys/setup_log.h"
#include "sys/deferred_deletion.h"
#include "sys/wide_ansi.h"

namespace kq {

namespace {

constexpr int kProgressBarId = 1001;
constexpr int kProgressIntervalMs = 200;
constexpr char kDefaultMsiVersion[] = "1.10";

// Message 13 with the required version in place of its "%s".
std::string InstallerVersionText(const std::string& version) {
  std::string text = GetMessageText(kMsgInstallerVersion);
  const size_t placeholder = text.find("%s");
  if (placeholder != std::string::npos) text.replace(placeholder, 2, version);
  return text;
}

// The system's text for an error number, without its line end; empty when
// the system has none (or a text longer than the buffer).
std::string SystemErrorText(DWORD error) {
  char text[512] = {};
  const DWORD length = FormatMessageA(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error, 0,
                                      text, sizeof text, nullptr);
  std::string result(text, length < sizeof text ? length : 0);
  while (!result.empty() && (result.back() == '\r' || result.back() == '\n' || result.back() == ' '))
    result.pop_back();
  return result;
}

constexpr char kCannotDownloadAdvice[] =
    "which this setup cannot download: put the redistributable on the medium, or serve it over http:// with "
    "NTMsiInstallerSHA256 / 9xMsiInstallerSHA256";

// What a failed download's result code alone does not say: the address
// that was refused, or the system error of the local file.
void LogDownloadFailure(int result, const std::string& address, const std::string& finalAddress, DWORD fileError,
                        const std::string& file) {
  if (result == KQHTTP_UnsupportedScheme) {
    if (finalAddress != address) {
      SetupLogF("The server redirected to %s, %s", finalAddress.c_str(), kCannotDownloadAdvice);
    } else {
      SetupLogF("The setup data names %s, %s", address.c_str(), kCannotDownloadAdvice);
    }
  } else if (fileError != 0) {
    SetupLogF("Writing %s failed with error %u: %s", file.c_str(), static_cast<unsigned>(fileError),
              SystemErrorText(fileError).c_str());
  }
}

}  // namespace

void SetupEngine::InstallWindowsInstaller() {
  SetupLog("Installing Windows installer");
  // The redistributable replaces MSI.DLL, which must not be held open here.
  msiLibrary.UnloadMsiDll();
  const std::string medium = MediumInstallerCommandLine(platformId, setupFolder);
  if (medium.empty()) {
    SetupLogF("No Windows Installer redistributable is known for the platform %d, which is neither Windows 9x (1) "
              "nor NT (2)",
              WindowsPlatformId(platformId));
    RaiseInternalError(kLocationInstallWindowsInstaller, kErrorUnknownName);
  }
  if (LaunchInstallerProgram(medium)) return;

  std::string downloaded;
  if (!DownloadWindowsInstaller(downloaded)) {
    std::string version = RequireCommandLine(kLocationInstallWindowsInstaller).GetSetupDataFile().GetMsiVersion();
    if (version.empty()) version = kDefaultMsiVersion;
    // Shown at every UI level that allows a box; a quiet run logs it.
    ShowStepMessageBox(ownerWindow, InstallerVersionText(version).c_str(), GetMessageText(kMsgWarning).c_str(),
                       MB_ICONERROR | MB_SETFOREGROUND);
    RaiseSetupExitCode(kExitFailure);
  }
  // Quoted: a temporary folder with blanks in its name must not let the
  // system try "C:\Documents.exe" first.
  const int started = LaunchInstallerProgram("\"" + downloaded + "\"");
  const DWORD error = GetLastError();
  LogForDeletion(downloaded);
  if (!started) {
    SetupLogF("The downloaded Windows Installer \"%s\" cannot be started, Error code = 0x%08X: %s",
              downloaded.c_str(), static_cast<unsigned>(error), SystemErrorText(error).c_str());
    RaiseInternalError(kLocationInstallWindowsInstaller, kErrorLaunch);
  }
}

bool SetupEngine::LaunchInstallerProgram(const std::string& command) {
  const SetupCommandLine& attached = RequireCommandLine(kLocationInstallWindowsInstaller);
  std::string text = command;
  // The redistributable's own silent switch.
  if (InstallsEngineQuietly(attached.GetUiLevel())) text += " /Q";
  ScopedHandle process;
  if (!StartChildProcess(text, CommandLineLogging::Log, process)) return false;
  currentChild = std::move(process);
  return true;
}

bool SetupEngine::DownloadWindowsInstaller(std::string& localPath) {
  const SetupDataFile& data = RequireCommandLine(kLocationInstallWindowsInstaller).GetSetupDataFile();
  const std::string address = InstallerDownloadAddress(
      platformId, platformId == WindowsFamily::k9x ? data.Get9xMsiInstaller() : data.GetNTMsiInstaller());
  if (address.empty()) return false;

  const std::string folder = TempFolderPath();
  if (folder.empty()) return false;
  std::string file;
  if (!CreateTempFileIn(folder, "MSI", file)) return false;
  SetupLogF("Downloading the Windows Installer from %s to %s", address.c_str(), file.c_str());

  int result;
  std::string finalAddress;
  DWORD fileError = 0;
  {
    KQHTTP client;
    result = client.SetURL(address);
    if (result == KQHTTP_SUCCESS) {
      result = client.DoGetIntoFile(file.c_str(), &SetupEngine::UpdateDownloadProgress,
                                    reinterpret_cast<uintptr_t>(ownerWindow), kProgressIntervalMs);
    }
    finalAddress = client.GetURL();
    fileError = client.GetFileError();
    client.Close();
  }
  if (result != KQHTTP_SUCCESS) {
    SetupLogF("The download of the Windows Installer failed: %d %s", result, KQHTTPResultName(result).c_str());
    LogDownloadFailure(result, address, finalAddress, fileError, file);
  } else if (!IsDownloadTrusted(file)) {
    result = KQHTTP_Error;
  }
  if (result != KQHTTP_SUCCESS) {
    // Nothing of a failed or refused download is ever started; it goes.
    if (!DeleteFileByName(file)) LogForDeletion(file);
    return false;
  }
  localPath = file;
  return true;
}

bool SetupEngine::IsDownloadTrusted(const std::string& localPath) const {
  const SetupDataFile& data = RequireCommandLine(kLocationInstallWindowsInstaller).GetSetupDataFile();
  const std::string& expected =
      platformId == WindowsFamily::k9x ? data.Get9xMsiInstallerSHA256() : data.GetNTMsiInstallerSHA256();
  if (expected.empty()) return true;
  std::string computed;
  if (!ComputeFileSha256(localPath, computed)) {
    SetupLog("The SHA-256 of the downloaded Windows Installer cannot be computed, so it is not started");
    return false;
  }
  if (!Sha256Matches(expected, computed)) {
    SetupLogF("The downloaded Windows Installer has SHA-256 %s, not %s, so it is not started", computed.c_str(),
              expected.c_str());
    return false;
  }
  SetupLog("The downloaded Windows Installer has the expected SHA-256");
  return true;
}

int KQ_CDECL SetupEngine::UpdateDownloadProgress(const char* /*localPath*/, int totalSize, int bytesSoFar, int status,
                                                 int /*bytesPerSecond*/, uintptr_t callbackData) {
  // A download stops when the session ends.
  if (IsSessionEnding()) return ProgressAbort;
  const HWND bar = GetDlgItem(reinterpret_cast<HWND>(callbackData), kProgressBarId);
  if (bar == nullptr) return ProgressContinue;
  // The bar belongs to the dialog's thread, which may itself be waiting for
  // this one (at the end of a session): nothing here waits for it.
  const bool visible = (GetWindowLongA(bar, GWL_STYLE) & WS_VISIBLE) != 0;
  if ((status == DownloadReading || status == DownloadComplete) && totalSize != 0) {
    if (!visible) ShowWindowAsync(bar, SW_SHOWNA);
    PostMessageA(bar, PBM_SETPOS, static_cast<WPARAM>(DownloadProgressPosition(bytesSoFar, totalSize)), 0);
  } else if (visible) {
    ShowWindowAsync(bar, SW_HIDE);
  }
  return ProgressContinue;
}

}  // namespace kq
