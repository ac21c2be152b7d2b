// SETUPCHK.EXE: the setup checker as a Windows console program (packages
// read through MSI.DLL).
#include "check/check_command.h"

int main(int argc, char** argv) { return kq::RunSetupCheck(argc, argv, kq::ConsoleText::Ansi); }
