#pragma once
// The file names of the programs this setup starts or looks for, spelled
// once. The command lines that name MSIEXEC without its extension (the
// maintenance installation and a Windows Installer product's removal) keep
// that form: administrators and tests read those command lines in the log
// as they have always been written.
namespace kq {

// This program, on a medium, in a temporary copy, and as a nested setup.
constexpr char kSetupProgram[] = "SETUP.EXE";
// The Windows Installer's program in the system folder.
constexpr char kInstallerProgram[] = "MSIEXEC.EXE";
// The same without its extension: in a removal or maintenance command line,
// and what tells a removal command that it runs the Windows Installer.
constexpr char kInstallerName[] = "MSIEXEC";

}  // namespace kq
