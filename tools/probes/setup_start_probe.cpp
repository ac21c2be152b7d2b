// setup_start_probe.exe [setup arguments...]
//   Starts like SETUP.EXE up to the loaded setup data: takes the program name
//   off the process command line, parses the rest with the folder of this
//   program as setup folder (loading SETUP.INI or the file the first word
//   names), prints what was parsed and exits with the run's exit code. A
//   failure ends the run through RaiseInternalError, box and log included.
#include <windows.h>

#include <cstdio>
#include <string>

#include "sys/setup_exit_code.h"
#include "text/next_field.h"
#include "config/setup_command_line.h"
#include "text/mbcs_path.h"
#include "sys/wide_ansi.h"

namespace {

std::string ProgramFolder() {
  return kq::FolderOf(kq::GetProgramPath(kq::ModulePathCaller::kRunSequence));
}

void Run() {
  std::string arguments = kq::GetProgramCommandLine();
  std::string program;
  if (!kq::NextField(arguments, program, " ", kq::QuoteMode::kRemove)) kq::RaiseSetupExitCode(1639);
  kq::SetupCommandLine commandLine;
  const bool parsed = commandLine.Parse(ProgramFolder().c_str(), arguments.c_str());
  std::string options;
  commandLine.AppendModeOption(options);
  commandLine.AppendUiLevelOption(options);
  commandLine.AppendPassThroughOptions(options);
  commandLine.AppendProperties(options);
  std::printf("parsed=%d\ndatafile=%s\noptions=%s\n", parsed ? 1 : 0, commandLine.GetDataFileName().c_str(),
              options.c_str());
  if (parsed) std::printf("package=%s\n", commandLine.GetSetupDataFile().GetPackageName().c_str());
  kq::RaiseSetupExitCode(0);
}

}  // namespace

int main() {
  const uint32_t code = kq::CatchSetupExitCode(Run);
  std::fflush(stdout);
  ExitProcess(code);
}
