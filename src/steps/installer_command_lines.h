#pragma once
// The command lines the installer-invocation steps start: the maintenance
// and main MSIEXEC runs, the nested SETUP.EXE, the post-install
// applications and the uninstall commands of other products. Administrators'
// scripts depend on these texts down to the last space, so they are built
// here, free of <windows.h>, and tested natively; the engine only adds the
// system folder and starts them.
#include <string>
#include <vector>

#include "config/nested_install.h"

namespace kq {

class SetupCommandLine;

// The MSIEXEC options the setup's own command line carries over, in this
// order: UI level, log, MIF file, pass-through options, properties.
void AppendStandardOptionTail(const SetupCommandLine& commandLine, std::string& text);

// `systemFolder` ends with a backslash. With no REINSTALLMODE the
// maintenance run repairs with /fvomus; with one, the REINSTALLMODE
// property itself reaches MSIEXEC among the properties of a plain /I.
std::string MaintenanceCommandLine(const std::string& systemFolder, const std::string& packageFolder,
                                   const std::string& packageName, const SetupCommandLine& commandLine);

// The main installation: /i and the quoted package in install mode 0,
// otherwise the mode option of the setup's command line; " REBOOT=S" is
// added when the restart is to wait and the command line set no REBOOT.
std::string MainInstallerCommandLine(const std::string& systemFolder, const std::string& packageFolder,
                                     const std::string& packageName, const SetupCommandLine& commandLine,
                                     bool mainRestartWaits);

// The first blank-separated word of the nested arguments without its
// quotes: the setup data file that must exist in the setup folder.
std::string NestedDataFileWord(const std::string& arguments);

// SETUP.EXE in `folder` (the medium or the temporary copy; the program's
// path in quotes when it holds a blank: ProgramWord) and the arguments as
// written, the option tail, and " /~-" unless "/~" is already in the text:
// the nested setup makes no temporary copy of itself.
std::string NestedInstallerCommandLine(const std::string& folder, const SetupCommandLine& commandLine,
                                       const std::string& arguments);

// One LaunchApplications entry: COMPONENTCODE,ARGUMENTS.
enum class PostInstallEntryRead { Use, Skip, Malformed };
PostInstallEntryRead ReadPostInstallEntry(const std::string& entry, std::string& componentCode,
                                          std::string& arguments);

// The key path in double quotes (empty when unknown), a blank, the arguments.
std::string PostInstallCommandLine(const std::string& keyPath, const std::string& arguments);

// An uninstall command made ready to run. A Windows Installer removal (the
// command names MSIEXEC) gets the setup's UI level unless it has a /Q
// option; an InstallShield removal (UNINST with a .ISU log) gets its closing
// quote and, for a reduced UI, " -a". Tests are on an upper-case copy.
struct RemovalCommand {
  std::string text;
  bool installerRemoval = false;
};
RemovalCommand PrepareRemovalCommand(const std::string& command, const SetupCommandLine& commandLine);

}  // namespace kq
