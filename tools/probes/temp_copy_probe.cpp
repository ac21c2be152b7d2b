// temp_copy_probe.exe <step>... -- <setup arguments>
// Drives the engine's temporary copy from the folder the probe runs in (its
// SETUP.INI beside it), as the run sequence does. Steps:
//   copy     CopySetupToTempFolder
//   remove   RemoveTempFolder
// After each step it prints "<step> marker=<m> folder=<engine setupFolder>
// line=<command line's setup folder>", <m> being the TempCopyState's number
// (0 kNotYet, 1 kRunningFromCopy, 2 kNone).
#include <windows.h>

#include <cstdio>
#include <cstring>
#include <string>

#include "sys/setup_exit_code.h"
#include "config/setup_command_line.h"
#include "steps/setup_engine.h"
#include "probe_arguments.h"

int main(int argc, char** argv) {
  const kq::ProbeArguments split = kq::SplitProbeArguments(argc, argv);
  const int separator = split.stepEnd;
  const std::string& arguments = split.setupArguments;

  const uint32_t code = kq::CatchSetupExitCode([&] {
    kq::SetupEngine engine(nullptr, nullptr);
    kq::SetupCommandLine commandLine;
    if (!commandLine.Parse(engine.GetSetupFolder().c_str(), arguments.c_str())) std::printf("parse=0\n");
    engine.SetCommandLine(&commandLine);
    for (int i = 1; i < separator; ++i) {
      const std::string step = argv[i];
      if (step == "copy") engine.CopySetupToTempFolder();
      if (step == "remove") engine.RemoveTempFolder(true);
      std::printf("%s marker=%d folder=%s line=%s\n", step.c_str(), static_cast<int>(commandLine.GetTempCopyState()),
                  engine.GetSetupFolder().c_str(), commandLine.GetSetupFolder().c_str());
      std::fflush(stdout);
    }
    kq::RaiseSetupExitCode(0);
  });
  if (code != 0) std::printf("ended=0x%08X\n", static_cast<unsigned>(code));
  return static_cast<int>(code);
}
