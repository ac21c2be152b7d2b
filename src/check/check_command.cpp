#include "check/check_command.h"

#include <cstdio>
#include <string>

#include "check/medium_check.h"
#include "check/sarif.h"
#include "check/starting_data_file.h"
#include "config/parse_integer.h"
#include "text/ansi_code_page.h"

namespace kq {

namespace {

constexpr int kExitClean = 0;
constexpr int kExitErrors = 1;
constexpr int kExitCannotRun = 2;

enum class Output { Text, Json, Sarif };

std::string Usage(const std::string& program) {
  return "usage: " + program + " [--json | --sarif] [--strict] [--codepage N] MEDIUM_FOLDER [DATAFILE]\n" +
         "       " + program +
         " --init PACKAGE.msi\n"
         "  Checks a SETUP.EXE medium: the setup data file, its package, its nested setups\n"
         "  and redistributables. Without DATAFILE: SETUP.INI and every other setup data file\n"
         "  of the medium (Lang\\DE.INI, ...). Findings: FILE:LINE: SEVERITY: MESSAGE,\n"
         "  then a summary on standard error.\n"
         "  --json         a JSON array of {file, line, severity, code, message}\n"
         "  --sarif        a SARIF 2.1.0 log, for code-scanning dashboards\n"
         "  --strict       warnings fail the check too (exit status 1)\n"
         "  --codepage N   the target systems' ANSI code page (default 1252)\n"
         "  --init PACKAGE.msi  writes a starting SETUP.INI for the package to standard output\n"
         "  Exit status: 0 no error, 1 errors found, 2 the check could not run.\n";
}


class Command {
 public:
  explicit Command(const CheckerConsole& console) : console_(console) {}
  int Run(int argc, char** argv);

 private:
  int CannotRun(const std::string& reason, bool showUsage);
  int Init(const std::string& package);

  const CheckerConsole& console_;
  Output output_ = Output::Text;
};

int Command::CannotRun(const std::string& reason, bool showUsage) {
  const std::string why = console_.utf8 ? reason : ToUtf8(reason);
  if (output_ == Output::Json)
    std::fputs(("[\n  {\"file\": \"\", \"line\": null, \"severity\": \"error\", \"code\": \"cannot-run\", \"message\": " +
                JsonString(why) + "}\n]\n")
                   .c_str(),
               stdout);
  if (output_ == Output::Sarif) std::fputs(SarifCannotRun(console_.program, why).c_str(), stdout);
  std::fflush(stdout);
  console_.write(stderr, std::string(console_.program) + ": " + why + "\n" + (showUsage ? Usage(console_.program) : ""));
  return kExitCannotRun;
}

int Command::Init(const std::string& package) {
  std::string text;
  if (!StartingDataFile(package, text))
    return CannotRun("the package " + package + " does not open as a Windows Installer database", false);
  bool ascii = true;
  for (const char c : text) ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  // UTF-8 text outside ASCII needs its byte order mark to be read as such.
  if (!ascii && console_.utf8) text = "\xEF\xBB\xBF" + text;
  std::fputs(text.c_str(), stdout);
  std::fflush(stdout);
  return kExitClean;
}

int Command::Run(int argc, char** argv) {
  // The output form first, so that even a usage error is a document.
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--json") output_ = Output::Json;
    if (argument == "--sarif") output_ = Output::Sarif;
  }
  bool strict = false;
  bool json = false;
  bool sarif = false;
  CheckOptions options;
  std::string folder;
  std::string dataFile = "SETUP.INI";
  std::string initPackage;
  int positional = 0;
  for (int i = 1; i < argc; ++i) {
    const std::string argument = argv[i];
    if (argument == "--json") {
      json = true;
    } else if (argument == "--sarif") {
      sarif = true;
    } else if (argument == "--strict") {
      strict = true;
    } else if (argument == "--codepage") {
      int32_t codePage = 0;
      if (i + 1 >= argc || !ParseInteger(argv[i + 1], codePage) || codePage <= 0 ||
          !IsKnownCodePage(static_cast<unsigned>(codePage)))
        return CannotRun("--codepage needs the number of a code page this system can convert (1252, 932, ...)", true);
      options.codePage = static_cast<unsigned>(codePage);
      ++i;
    } else if (argument == "--init") {
      if (i + 1 >= argc) return CannotRun("--init needs the package", true);
      initPackage = argv[++i];
    } else if (argument == "--help" || argument == "-h") {
      console_.write(stdout, Usage(console_.program));
      return kExitClean;
    } else if (argument.size() > 1 && argument[0] == '-') {
      return CannotRun("unknown option " + argument, true);
    } else if (positional == 0) {
      folder = argument;
      ++positional;
    } else if (positional == 1) {
      dataFile = argument;
      ++positional;
    } else {
      return CannotRun("too many arguments", true);
    }
  }
  if (json && sarif) return CannotRun("--json and --sarif cannot be given together", true);
  if (!initPackage.empty()) {
    if (positional != 0 || json || sarif) return CannotRun("--init takes the package and nothing else", true);
    return Init(initPackage);
  }
  if (positional == 0) return CannotRun("no medium folder given", true);
  const MediumFolder medium(folder);
  if (!medium.Exists()) return CannotRun("the medium folder " + folder + " does not exist", false);
  // The INI library converts UTF-8 and UTF-16 text to the code page of the
  // target systems, as SETUP.EXE does there; names are then that code
  // page's text, the data file's name from the command line too.
  SetTextCodePage(options.codePage);
  if (console_.utf8) {
    std::string name;
    if (!Utf8ToAnsi(dataFile, name))
      return CannotRun("the data file name " + dataFile + " cannot be written in code page " +
                           std::to_string(options.codePage),
                       false);
    dataFile = name;
  }

  // A data file named is checked alone (with its nested setups).
  options.everyDataFile = positional < 2;
  Findings findings = CheckMedium(medium, dataFile, options);
  if (output_ != Output::Text || console_.utf8) FindingsToUtf8(findings);
  if (output_ == Output::Json) {
    std::fputs(FindingsToJson(findings).c_str(), stdout);
  } else if (output_ == Output::Sarif) {
    std::fputs(FindingsToSarif(findings, console_.program).c_str(), stdout);
  } else {
    std::string text;
    for (const Finding& finding : findings) text += FormatFinding(finding) + "\n";
    console_.write(stdout, console_.utf8 ? text : ToUtf8(text));
  }
  std::fflush(stdout);
  console_.write(stderr, FindingsSummary(findings) + "\n");
  if (HasError(findings) || (strict && !findings.empty())) return kExitErrors;
  return kExitClean;
}

}  // namespace

int RunSetupCheck(int argc, char** argv, const CheckerConsole& console) {
  Command command(console);
  return command.Run(argc, argv);
}

}  // namespace kq
