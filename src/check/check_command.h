#pragma once
// The command line shared by setupcheck and SETUPCHK.EXE:
//   setupcheck [--json] [--codepage N] MEDIUM_FOLDER [DATAFILE]
// Exit status 0 without errors (warnings allowed), 1 with at least one, 2
// when the checker could not run (bad usage, missing folder).
namespace kq {

enum class ConsoleText {
  Utf8,  // the host: findings are written as UTF-8
  Ansi,  // Windows: findings are written in the system's ANSI code page
};

int RunSetupCheck(int argc, char** argv, ConsoleText console);

}  // namespace kq
