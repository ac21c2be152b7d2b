#pragma once
// The command line shared by setupcheck and SETUPCHK.EXE:
//   setupcheck [--json | --sarif] [--strict] [--codepage N] MEDIUM_FOLDER [DATAFILE]
//   setupcheck --init PACKAGE.msi
// Exit status 0 without errors (warnings allowed unless --strict), 1 with at
// least one, 2 when the checker could not run (bad usage, missing folder).
#include <cstdio>
#include <string>

namespace kq {

// What differs between the two programs: their name, and the text of their
// command line and of what they write for people.
struct CheckerConsole {
  const char* program;  // "setupcheck", "SETUPCHK.EXE"
  // Whether the command line and text output are UTF-8 (the host) rather than
  // the system's ANSI code page (Windows).
  bool utf8;
  // Writes text for people (usage, findings, the summary), given as UTF-8,
  // so that the reader of `stream` can read it.
  void (*write)(std::FILE* stream, const std::string& utf8Text);
};

int RunSetupCheck(int argc, char** argv, const CheckerConsole& console);

}  // namespace kq
