#include "check/check_command.h"

#include <cstdio>
#include <string>

#include "check/medium_check.h"
#include "config/parse_integer.h"
#include "text/ansi_code_page.h"

namespace kq {

namespace {

constexpr int kExitClean = 0;
constexpr int kExitErrors = 1;
constexpr int kExitCannotRun = 2;

const char kUsage[] =
    "usage: setupcheck [--json] [--codepage N] MEDIUM_FOLDER [DATAFILE]\n"
    "  Checks a SETUP.EXE medium: the setup data file (default SETUP.INI), its package,\n"
    "  its nested setups and redistributables. Findings: FILE:LINE: SEVERITY: MESSAGE.\n"
    "  --json         a JSON array of {file, line, severity, code, message}\n"
    "  --codepage N   the target systems' ANSI code page (default 1252)\n"
    "  Exit status: 0 no error, 1 errors found, 2 the check could not run.\n";

int UsageError(const std::string& reason) {
  std::fprintf(stderr, "setupcheck: %s\n%s", reason.c_str(), kUsage);
  return kExitCannotRun;
}

// Setup-data text (in the code page the INI library converted it to) as UTF-8.
std::string ToUtf8(const std::string& text) {
  std::string utf8;
  return CodePageToUtf8(text, SystemAnsiCodePage(), utf8) ? utf8 : text;
}

}  // namespace

int RunSetupCheck(int argc, char** argv, ConsoleText console) {
  bool json = false;
  CheckOptions options;
  std::string folder;
  std::string dataFile = "SETUP.INI";
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--json") {
      json = true;
    } else if (argument == "--codepage") {
      int32_t codePage = 0;
      if (i + 1 >= argc || !ParseInteger(argv[i + 1], codePage) || codePage <= 0 ||
          !IsKnownCodePage(static_cast<unsigned>(codePage)))
        return UsageError("--codepage needs the number of a code page this system can convert (1252, 932, ...)");
      options.codePage = static_cast<unsigned>(codePage);
      ++i;
    } else if (argument == "--help" || argument == "-h") {
      std::fputs(kUsage, stdout);
      return kExitClean;
    } else if (argument.size() > 1 && argument[0] == '-') {
      return UsageError("unknown option " + argument);
    } else if (positional == 0) {
      folder = argument;
      ++positional;
    } else if (positional == 1) {
      dataFile = argument;
      ++positional;
    } else {
      return UsageError("too many arguments");
    }
  }
  if (positional == 0) return UsageError("no medium folder given");
  const MediumFolder medium(folder);
  if (!medium.Exists()) return UsageError("the medium folder " + folder + " does not exist");
  // The INI library converts UTF-8 and UTF-16 text to the code page of the
  // target systems, as SETUP.EXE does there.
  SetTextCodePage(options.codePage);

  Findings findings = CheckMedium(medium, dataFile, options);
  if (json || console == ConsoleText::Utf8) {
    for (Finding& finding : findings) {
      finding.file = ToUtf8(finding.file);
      finding.message = ToUtf8(finding.message);
    }
  }
  if (json) {
    std::fputs(FindingsToJson(findings).c_str(), stdout);
  } else {
    for (const Finding& finding : findings) std::printf("%s\n", FormatFinding(finding).c_str());
  }
  std::fflush(stdout);
  return HasError(findings) ? kExitErrors : kExitClean;
}

}  // namespace kq
