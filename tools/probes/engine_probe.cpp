// engine_probe.exe <step>... -- <setup arguments>
// Runs SetupEngine steps the way the run sequence calls them, from the
// folder the probe was copied to (its SETUP.INI and package), and prints one
// "step=result" line per step. A step that starts an installer is followed
// by the run sequence's wait on the current child process. Steps:
//   promptcd platform msiversion privileges load current name runfromsource
//   maintenance nested main=<0|1> launchnested post remove=<command>
// A raised exit code ends the probe: "ended=0x%08X", exit code the same.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sys/setup_exit_code.h"
#include "config/setup_command_line.h"
#include "steps/setup_engine.h"
#include "probe_arguments.h"
#include "sys/child_process.h"

namespace {

void WaitForInstaller(kq::SetupEngine& engine, const char* step) {
  uint32_t exitCode = 0xFFFFFFFFu;
  const int reboot =
      kq::WaitForChildOrReboot(engine.CurrentChildProcess(), engine.GetEndSessionEvent(), false, &exitCode);
  std::printf("%s=started exit=%u reboot=%d\n", step, static_cast<unsigned>(exitCode), reboot);
}

void Run(kq::SetupEngine& engine, const std::string& arg) {
  const size_t eq = arg.find('=');
  const std::string step = arg.substr(0, eq);
  const std::string value = eq == std::string::npos ? std::string() : arg.substr(eq + 1);
  if (step == "promptcd") {
    std::printf("promptcd=%d\n", engine.IsPromptForCDMutexSet());
  } else if (step == "platform") {
    const int qualified = engine.IsPlatformQualified();
    std::printf("platform=%d id=%d\n", qualified, engine.GetPlatformId());
  } else if (step == "msiversion") {
    std::printf("msiversion=%d\n", engine.IsInstallerVersionCurrent());
  } else if (step == "privileges") {
    std::printf("privileges=%d\n", engine.HasInstallPrivileges());
  } else if (step == "load") {
    const std::string package =
        engine.GetPackageFolder() + engine.GetCommandLine()->GetSetupDataFile().GetPackageName();
    std::printf("load=%d\n", engine.LoadProductInformation(package.c_str()));
  } else if (step == "current") {
    std::printf("current=%d\n", engine.IsCurrentVersionInstalled());
  } else if (step == "name") {
    std::string name;
    const int known = engine.GetProductName(name);
    std::printf("name=%d %s\n", known, name.c_str());
  } else if (step == "runfromsource") {
    std::printf("runfromsource=%d\n", engine.HasRunFromSourceFeatures());
  } else if (step == "maintenance") {
    engine.RunMaintenanceInstaller();
    WaitForInstaller(engine, "maintenance");
  } else if (step == "nested") {
    bool suppressed = false;
    const bool nested = engine.HasNestedInstall(&suppressed);
    std::printf("nested=%d suppressed=%d\n", nested ? 1 : 0, suppressed ? 1 : 0);
  } else if (step == "main") {
    engine.RunMainInstaller(value == "1");
    WaitForInstaller(engine, "main");
  } else if (step == "launchnested") {
    if (engine.LaunchNestedInstaller())
      WaitForInstaller(engine, "launchnested");
    else
      std::printf("launchnested=0\n");
  } else if (step == "post") {
    engine.LaunchPostInstallApplications();
    std::printf("post=done\n");
  } else if (step == "remove") {
    std::printf("remove=%d\n", engine.RemoveApplication(value.c_str()));
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const kq::ProbeArguments split = kq::SplitProbeArguments(argc, argv);
  const int separator = split.stepEnd;
  const std::string& arguments = split.setupArguments;

  kq::ScopedHandle endSession(CreateEventA(nullptr, TRUE, FALSE, nullptr));
  const uint32_t code = kq::CatchSetupExitCode([&] {
    kq::SetupEngine engine(nullptr, endSession.Get());
    kq::SetupCommandLine commandLine;
    if (!commandLine.Parse(engine.GetSetupFolder().c_str(), arguments.c_str())) std::printf("parse=0\n");
    engine.SetCommandLine(&commandLine);
    for (int i = 1; i < separator; ++i) Run(engine, argv[i]);
    kq::RaiseSetupExitCode(0);
  });
  if (code != 0) std::printf("ended=0x%08X\n", static_cast<unsigned>(code));
  return static_cast<int>(code);
}
