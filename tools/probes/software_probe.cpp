// software_probe.exe <step>... -- <setup arguments>
// Runs the SetupEngine steps that deal with software in the way, from the
// folder the probe was copied to (its SETUP.INI and package), and prints one
// "step=result" line per step. Steps:
//   incompatible uninstallincompatible upgrade shutdown regkey previous
//   queued (the PreviousVersionUninstall list, '|'-separated)
//   command=<entry> (GetUninstallCommand: found|display name|command)
//   version=<entry> (GetInstalledVersion: found version)
// Every message box is printed ("box=caption|text|style", line feeds as
// \n) before it is shown for real, then the button ("answer=N").
// A raised exit code ends the probe: "ended=0x%08X", exit code the same.
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sys/setup_exit_code.h"
#include "config/setup_command_line.h"
#include "steps/installed_version.h"
#include "steps/setup_engine.h"
#include "probe_arguments.h"
#include "steps/step_message_box.h"
#include "steps/uninstall_command.h"

namespace {

std::string OneLine(const char* text) {
  std::string line;
  for (const char* p = text; *p != '\0'; ++p) {
    if (*p == '\n') {
      line += "\\n";
    } else if (*p != '\r') {
      line += *p;
    }
  }
  return line;
}

int PrintedBox(HWND owner, const char* text, const char* caption, UINT style) {
  std::printf("box=%s|%s|0x%X\n", caption, OneLine(text).c_str(), style);
  std::fflush(stdout);
  const int answer = MessageBoxA(owner, text, caption, style);
  std::printf("answer=%d\n", answer);
  std::fflush(stdout);
  return answer;
}

void Run(kq::SetupEngine& engine, const std::string& arg) {
  const size_t eq = arg.find('=');
  const std::string step = arg.substr(0, eq);
  const std::string value = eq == std::string::npos ? std::string() : arg.substr(eq + 1);
  if (step == "incompatible") {
    engine.CheckIncompatibleApplications();
    std::printf("incompatible=1\n");  // returned: the setup may go on
  } else if (step == "uninstallincompatible") {
    engine.UninstallIncompatibleApplications();
    std::printf("uninstallincompatible=1\n");  // returned: the setup may go on
  } else if (step == "upgrade") {
    engine.CheckUpgradeConditions();
    std::printf("upgrade=1\n");  // returned: the setup may go on
  } else if (step == "shutdown") {
    engine.ShutDownApplications();
    std::printf("shutdown=1\n");  // returned: the setup may go on
  } else if (step == "regkey") {
    std::printf("regkey=%d\n", engine.HasProductRegistryKey());
  } else if (step == "previous") {
    std::printf("previous=%d\n", engine.UninstallPreviousVersions());
  } else if (step == "queued") {
    std::string list;
    for (const std::string& entry : engine.GetCommandLine()->GetSetupDataFile().GetPreviousVersionUninstall())
      list += (list.empty() ? "" : "|") + entry;
    std::printf("queued=%s\n", list.c_str());
  } else if (step == "command") {
    std::string name;
    std::string command;
    const bool found = kq::GetUninstallCommand(value.c_str(), name, command);
    std::printf("command=%d|%s|%s\n", found, name.c_str(), command.c_str());
  } else if (step == "version") {
    kq::VersionNumber version;
    const bool found = kq::GetInstalledVersion(value.c_str(), version);
    std::printf("version=%d %s\n", found, version.ToString().c_str());
  } else {
    std::printf("unknown=%s\n", step.c_str());
  }
  std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
  const kq::ProbeArguments split = kq::SplitProbeArguments(argc, argv);
  const int separator = split.stepEnd;
  const std::string& arguments = split.setupArguments;
  kq::SetStepMessageBox(PrintedBox);

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
