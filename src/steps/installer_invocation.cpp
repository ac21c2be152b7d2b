// The steps that start installer processes: the maintenance and the main
// MSIEXEC run, the nested setup, the post-install applications and the
// uninstall commands of other products. The command lines themselves are
// built in installer_command_lines.cpp.
#include "sys/internal_error.h"
#include "sys/setup_exit_code.h"
#include "config/setup_command_line.h"
#include "config/setup_data_names.h"
#include "ini/ini_file.h"
#include "ini/ini_file_exception.h"
#include "ini/ini_section.h"
#include "text/next_field.h"
#include "steps/installer_command_lines.h"
#include "steps/setup_engine.h"
#include "sys/child_process.h"
#include "sys/file_sha256.h"
#include "sys/scoped_handle.h"
#include "sys/setup_log.h"
#include "sys/wide_ansi.h"
#include "text/mbcs_path.h"
#include "text/program_names.h"

namespace kq {

namespace {

// The system folder with a trailing backslash; internal error at `location`
// when it cannot be read.
std::string SystemFolder(uint32_t location) {
  std::string folder = SystemFolderPath();
  if (folder.empty()) {
    const DWORD error = GetLastError();
    SetupLogF("The system folder, where MSIEXEC is, cannot be found, Error code = 0x%08X",
              static_cast<unsigned>(error));
    RaiseInternalError(location, HresultFromWin32(error));
  }
  return folder;
}

// Starts an installer for the engine to keep as its current child process,
// which the run sequence then waits for; internal error at `location` when
// it does not start.
ScopedHandle StartInstaller(const std::string& commandLine, uint32_t location) {
  ScopedHandle process;
  if (!StartChildProcess(commandLine, CommandLineLogging::Log, process)) {
    SetupLogF("The installer cannot be started, Error code = 0x%08X", static_cast<unsigned>(GetLastError()));
    RaiseInternalError(location, kErrorLaunch);
  }
  return process;
}

// The package a nested data file names; empty when it cannot be read (the
// nested setup then says so itself).
std::string NestedPackageName(const std::string& dataFilePath) {
  try {
    CIniFile document;
    document.Load(dataFilePath);
    IniSection* information = nullptr;
    std::string name;
    if (document.FindSection(kSectionProductInformation, &information) && information != nullptr &&
        information->GetValue(kKeyPackageName, &name)) {
      TrimBlanks(name);
      return name;
    }
  } catch (const CKqIniFileException&) {
  }
  return std::string();
}

}  // namespace

bool SetupEngine::HasRunFromSourceFeatures() {
  SetupLog("Checking if any features are set to run from source");
  const SetupCommandLine& attached = RequireCommandLine(kLocationRunFromSource);
  for (const std::string& feature : attached.GetSetupDataFile().GetProductFeatures()) {
    if (msiLibrary.IsFeatureRunFromSource(feature.c_str())) return true;
  }
  return false;
}

void SetupEngine::RunMaintenanceInstaller() {
  SetupLog("Running installer in maintenance mode");
  const SetupCommandLine& attached = RequireCommandLine(kLocationMaintenanceInstaller);
  const std::string text = MaintenanceCommandLine(SystemFolder(kLocationMaintenanceInstaller), packageFolder,
                                                  attached.GetSetupDataFile().GetPackageName(), attached);
  currentChild = StartInstaller(text, kLocationMaintenanceInstaller);
}

bool SetupEngine::HasNestedInstall(bool* mainRestartWaits) {
  SetupLog("Checking if a nested install is included");
  if (mainRestartWaits != nullptr) *mainRestartWaits = false;
  const SetupCommandLine& attached = RequireCommandLine(kLocationHasNestedInstall);
  const NestedInstallValue* nested = ReadableNestedInstall(attached);
  if (nested == nullptr) return false;
  if (msiLibrary.IsProductInstalled(nested->productCode.c_str()) && nested->noUpdate) return false;
  if (!HasNestedDataFile(nested->arguments)) return false;

  if (mainRestartWaits != nullptr) *mainRestartWaits = attached.GetRestartPolicy().MainRestartWaits(nested->oneReboot);
  return true;
}

const NestedInstallValue* SetupEngine::ReadableNestedInstall(const SetupCommandLine& attached) const {
  const SetupDataFile& data = attached.GetSetupDataFile();
  const NestedInstallValue* nested = data.GetNestedInstallValue();
  if (nested == nullptr && !data.GetNestedInstall().empty())
    SetupLogF("NestedInstall cannot be read, so the nested setup does not run: %s", data.GetNestedInstall().c_str());
  return nested;
}

bool SetupEngine::HasNestedDataFile(const std::string& arguments) const {
  const std::string word = NestedDataFileWord(arguments);
  WIN32_FIND_DATAA found;
  ScopedFind dataFile(FindFirstFileByName(JoinPath(setupFolder, word), found));
  if (dataFile) return true;
  const DWORD error = GetLastError();
  // The publisher looks for it on the medium, of which the copy is a copy.
  const std::string& medium = WorksFromRecordedCopy() ? runRecord.medium : setupFolder;
  SetupLogF("The nested setup's data file \"%s\" is not on the medium (error %lu), so the nested setup cannot run",
            JoinPath(medium, word).c_str(), static_cast<unsigned long>(error));
  return false;
}

std::string SetupEngine::NestedSetupFolder(const std::string& dataFile) const {
  if (!WorksFromRecordedCopy()) return setupFolder;
  // The record only says where the medium was: what runs from there must be
  // what this copy holds, byte for byte.
  const std::string& medium = runRecord.medium;
  const std::string dataFolder = FolderOf(dataFile);
  const std::string package = NestedPackageName(JoinPath(setupFolder, dataFile));
  const char* differs = nullptr;
  if (!HaveSameContent(JoinPath(setupFolder, kSetupProgram), JoinPath(medium, kSetupProgram))) {
    differs = kSetupProgram;
  } else if (!HaveSameContent(JoinPath(setupFolder, dataFile), JoinPath(medium, dataFile))) {
    differs = "nested data file";
  } else if (package.empty() || !HaveSameContent(JoinPath(setupFolder + dataFolder, package),
                                                 JoinPath(medium + dataFolder, package))) {
    differs = "nested package";
  }
  if (differs == nullptr) {
    SetupLogF("The medium \"%s\" holds the nested setup: it starts from there", medium.c_str());
    return medium;
  }
  SetupLogF("The medium \"%s\" does not hold the %s of the temporary copy", medium.c_str(), differs);
  SetupLogF("The medium \"%s\" no longer holds the nested setup: it starts from the temporary copy, and later "
            "repairs of its product will ask for the medium",
            medium.c_str());
  return setupFolder;
}

void SetupEngine::RunMainInstaller(bool mainRestartWaits) {
  SetupLog("Running installer");
  const SetupCommandLine& attached = RequireCommandLine(kLocationMainInstaller);
  const std::string text =
      MainInstallerCommandLine(SystemFolder(kLocationMainInstaller), packageFolder,
                               attached.GetSetupDataFile().GetPackageName(), attached, mainRestartWaits);
  currentChild = StartInstaller(text, kLocationMainInstaller);
}

bool SetupEngine::IsNestedProductInstalled() {
  const NestedInstallValue* nested =
      RequireCommandLine(kLocationHasNestedInstall).GetSetupDataFile().GetNestedInstallValue();
  return nested != nullptr && msiLibrary.IsProductInstalled(nested->productCode.c_str());
}

bool SetupEngine::LaunchNestedInstaller() {
  SetupLog("Launching Nested installer");
  const SetupCommandLine& attached = RequireCommandLine(kLocationNestedInstaller);
  const NestedInstallValue* nested = ReadableNestedInstall(attached);
  if (nested == nullptr) return false;
  // Without its data file the nested SETUP.EXE would run the default one.
  if (!HasNestedDataFile(nested->arguments)) return false;
  // Windows Installer keeps the folder a package is installed from as its
  // source: the medium lasts, the temporary copy is deleted at the end.
  const std::string folder = NestedSetupFolder(NestedDataFileWord(nested->arguments));
  ScopedHandle process;
  if (!StartChildProcess(NestedInstallerCommandLine(folder, attached, nested->arguments), CommandLineLogging::Log,
                         process)) {
    SetupLogF("The nested setup \"%s\" cannot be started, Error code = 0x%08X",
              JoinPath(folder, kSetupProgram).c_str(), static_cast<unsigned>(GetLastError()));
    RaiseInternalError(kLocationNestedInstaller, kErrorLaunch);
  }
  currentChild = std::move(process);
  return true;
}

void SetupEngine::LaunchPostInstallApplications() {
  SetupLog("Launching any post-install applications");
  const SetupCommandLine& attached = RequireCommandLine(kLocationPostInstall);
  for (const std::string& entry : attached.GetSetupDataFile().GetLaunchApplications()) {
    std::string componentCode;
    std::string arguments;
    switch (ReadPostInstallEntry(entry, componentCode, arguments)) {
      case PostInstallEntryRead::Skip:
        continue;
      case PostInstallEntryRead::Malformed:
        SetupLogF("The [LaunchApplications] entry \"%s\" cannot be read: a double quote is not closed, or quoted "
                  "and unquoted text are mixed in one field; an entry is <component code>,<arguments>",
                  entry.c_str());
        RaiseInternalError(kLocationPostInstall, kErrorInvalidArgument);
      case PostInstallEntryRead::Use:
        break;
    }
    std::string keyPath;
    msiLibrary.GetComponentPath(componentCode.c_str(), keyPath);
    const std::string text = PostInstallCommandLine(keyPath, arguments);
    // Not waited for, so not a "Command Line = " line: what was started, and
    // whether it started, is told here.
    SetupLogF("Starting the post-install program of component %s: %s", componentCode.c_str(), text.c_str());
    ScopedHandle process;  // started and left alone; only our handle is closed
    if (StartChildProcess(text, CommandLineLogging::Silent, process)) continue;
    SetupLogF("The post-install program did not start, Error code = 0x%08X; it is skipped",
              static_cast<unsigned>(GetLastError()));
    // A program that does not start is skipped; a start function that is
    // missing altogether (already logged by the start) is an internal error.
    if (IsWindowsNT() && GetProcFromLibrary("KERNEL32.DLL", "CreateProcessW") == nullptr)
      RaiseInternalError(kLocationPostInstall, kErrorLaunch);
  }
}

bool SetupEngine::RemoveApplication(const char* command) {
  SetupLog("Removing application");
  if (command == nullptr || *command == '\0') return false;
  SetupCommandLine empty;
  const SetupCommandLine& attached = commandLine != nullptr ? *commandLine : empty;
  const RemovalCommand removal = PrepareRemovalCommand(command, attached);

  uint32_t exitCode = 0;
  bool reboot = false;
  {
    ScopedHandle process;
    if (!StartChildProcess(removal.text, CommandLineLogging::Log, process)) return false;
    // Uninstallers other than MSIEXEC often hand over to a second process and
    // exit at once; the five seconds give a reboot they start time to show.
    reboot = WaitForChildOrReboot(process.Get(), endSessionEvent, !removal.installerRemoval, &exitCode);
  }
  // An uninstaller that answers 3010 needs a restart and has not started
  // one: the run says so rather than claim a restart under way.
  if (reboot) RaiseSetupExitCode(exitCode == kExitRebootRequired ? kExitRebootRequired : kExitIntermediateReboot);
  if (exitCode == 0) return true;
  if (exitCode == kExitUserExit) return false;
  RaiseSetupExitCode(exitCode);
}

}  // namespace kq
