#include "config/setup_command_line.h"

#include "sys/internal_error.h"
#include "sys/run_platform.h"
#include "text/ascii_text.h"
#include "text/next_field.h"

namespace kq {

namespace {

constexpr char kDefaultDataFile[] = "SETUP.INI";

// The option text of an install mode (/a with /p is built from pieces).
const char* ModeOptionText(InstallMode mode) {
  switch (mode) {
    case InstallMode::kDefault: return "";
    case InstallMode::kInstall: return " /I";
    case InstallMode::kRepair: return " /f";
    case InstallMode::kUninstall: return " /x";
    case InstallMode::kAdvertise: return " /j";
    case InstallMode::kAdministrative: return " /a";
    case InstallMode::kPatch:
    case InstallMode::kAdministrativePatch: return " /p ";
  }
  return "";
}

void TrimLeadingBlanks(std::string& text) {
  size_t begin = 0;
  while (begin < text.size() && IsBlank(text[begin])) ++begin;
  text.erase(0, begin);
}

void TrimTrailingBlanks(std::string& text) {
  size_t end = text.size();
  while (end > 0 && IsBlank(text[end - 1])) --end;
  text.resize(end);
}

// The next blank-separated word of the argument text, quotes kept.
bool NextWord(std::string& rest, std::string& word) { return NextField(rest, word, " ", QuoteMode::Keep); }

// The word an option takes as its argument (a package, a file, a language):
// it must be there.
bool NextOptionArgument(std::string& rest, std::string& argument) {
  std::string word;
  if (!NextWord(rest, word) || word.empty()) return false;
  argument = word;
  return true;
}

}  // namespace

void SetupCommandLine::Reset() {
  setupDataFile_.Clear();
  dataFileName_.clear();
  setupFolder_.clear();
  installMode_ = InstallMode::kDefault;
  modeArgument_.clear();
  reinstallMode_.clear();
  packagePath_.clear();
  languageOrTransformOption_ = LanguageOrTransforms::kNone;
  languageOrTransforms_.clear();
  uiLevel_ = UiLevel::kNone;
  logOption_ = false;
  logModes_.clear();
  logFile_.clear();
  mifOption_ = false;
  mifFile_.clear();
  passThroughOptions_.clear();
  properties_.clear();
  tempCopyState_ = TempCopyState::kNotYet;
  keepsTempCopy_ = false;
  restartPolicy_ = RestartPolicy();
  argumentText_.clear();
}

void SetupCommandLine::SetSetupFolder(const char* folder) {
  setupFolder_ = folder != nullptr ? folder : "";
  setupDataFile_.SetSourceFolder(folder);
}

void SetupCommandLine::LoadDataFile(const char* name) {
  if (setupFolder_.empty() || name == nullptr || *name == '\0') {
    RunLog("No setup data file can be loaded: the setup folder or the data file's name is empty");
    RaiseInternalError(kLocationCommandLine, kErrorPointer);
  }
  setupDataFile_.Load(setupFolder_, name, false);
}

void SetupCommandLine::LoadDefaultDataFile() {
  dataFileName_ = kDefaultDataFile;
  LoadDataFile(kDefaultDataFile);
}

bool SetupCommandLine::Parse(const char* setupFolder, const char* argumentText) {
  if (setupFolder == nullptr || argumentText == nullptr || *setupFolder == '\0') {
    RunLog("The command line cannot be read: the setup folder or the command line is missing");
    RaiseInternalError(kLocationCommandLine, kErrorPointer);
  }
  // A second Parse starts from nothing rather than adding to the first.
  Reset();
  refusedArgument_.clear();
  setupFolder_ = setupFolder;
  argumentText_ = argumentText;
  std::string rest = argumentText;
  TrimBlanks(rest);
  if (rest.empty()) {
    LoadDefaultDataFile();
    return true;
  }
  int accepted = 0;
  while (!rest.empty()) {
    std::string token;
    const std::string unread = rest;
    if (!NextWord(rest, token)) {
      RunLog("The command line cannot be split into words: a double quote is not closed in: " + unread);
      RaiseInternalError(kLocationCommandLine, kErrorTokenize);
    }
    if (token.empty()) continue;
    if (!HandleArgument(accepted, token, rest)) {
      Reset();
      refusedArgument_ = token;
      return false;
    }
    ++accepted;
  }
  return true;
}

bool SetupCommandLine::HandleArgument(int index, const std::string& token, std::string& rest) {
  // MSIEXEC takes "-" as well as "/" before an option.
  if (token[0] == '/' || token[0] == '-') {
    if (index == 0) LoadDefaultDataFile();
    return HandleOption(token[0], token.substr(1), rest);
  }
  if (index == 0) {
    // Only the first word may name the setup data file; a name with blanks
    // comes in quotes ("Acme Tools\SETUP.INI", as a nested setup is given it).
    std::string name = token;
    std::string quoted = token;
    if (token[0] == '"' && !NextField(quoted, name, " ", QuoteMode::Remove)) name = token;
    if (setupDataFile_.Load(setupFolder_, name, true)) {
      dataFileName_ = name;
      return true;
    }
    LoadDefaultDataFile();
  }
  return HandlePropertyWord(token, rest);
}

bool SetupCommandLine::HandlePropertyWord(const std::string& word, std::string& rest) {
  std::string name;
  std::string value;
  const size_t equals = word.find('=');
  if (equals == std::string::npos) {
    // NAME =VALUE or NAME = VALUE, or a plain word.
    std::string next;
    if (!NextWord(rest, next)) return false;
    if (next.empty() || next[0] != '=') {
      passThroughOptions_.push_back(word);
      rest = rest.empty() ? next : next + " " + rest;
      return true;
    }
    name = UpperCaseAscii(word);
    value = next.substr(1);
  } else {
    name = word.substr(0, equals);
    TrimLeadingBlanks(name);
    name = UpperCaseAscii(name);
    value = word.substr(equals + 1);
  }
  TrimTrailingBlanks(value);
  if (value.empty() && !NextWord(rest, value)) return false;
  return AddProperty(name, value);
}

bool SetupCommandLine::AddProperty(const std::string& name, const std::string& value) {
  properties_.push_back(name + "=" + value);
  if (name == kRebootProperty) {
    RebootMode mode = RebootMode::kNone;
    if (restartPolicy_.RebootGiven() || !ReadRebootMode(value, mode)) return false;
    restartPolicy_ = RestartPolicy(mode);
  } else if (name == "REINSTALLMODE") {
    if (installMode_ != InstallMode::kDefault && installMode_ != InstallMode::kInstall) return false;
    reinstallMode_ = value;
  }
  return true;
}

// Windows Installer 3.0's option words, each the same as an option of the
// older letters: /quiet and /passive are UI levels (UiLevelOfOption),
// /norestart and /forcerestart the REBOOT property, /uninstall /x,
// /package /i, /log /l*, /help /?. The words are matched whole, before the
// first letter selects an option, so /package is not /p nor /log /l.
bool SetupCommandLine::HandleOptionWord(const std::string& word, std::string& rest, bool& handled) {
  handled = true;
  const std::string lower = LowerCaseAscii(word);
  if (lower == "quiet" || lower == "passive") {
    uiLevel_ = UiLevelOfOption(lower);
    return true;
  }
  if (lower == "norestart") return AddProperty(kRebootProperty, "ReallySuppress");
  if (lower == "forcerestart") return AddProperty(kRebootProperty, "Force");
  if (lower == "uninstall") return HandleOption('/', "x", rest);
  if (lower == "package") return HandleOption('/', "i", rest);
  if (lower == "log") return HandleOption('/', "l*", rest);
  if (lower == "help") return true;
  handled = false;
  return false;
}

bool SetupCommandLine::HandleOption(char prefix, const std::string& option, std::string& rest) {
  if (option.empty()) return false;
  bool handled = false;
  const bool accepted = HandleOptionWord(option, rest, handled);
  if (handled) return accepted;
  const std::string suffix = option.substr(1);
  const bool noLanguageOrTransforms = languageOrTransformOption_ == LanguageOrTransforms::kNone;
  switch (ToLowerAscii(option[0])) {
    case 'a':
      if (!noLanguageOrTransforms || (installMode_ != InstallMode::kDefault && installMode_ != InstallMode::kPatch)) {
        return false;
      }
      installMode_ =
          installMode_ == InstallMode::kPatch ? InstallMode::kAdministrativePatch : InstallMode::kAdministrative;
      return NextOptionArgument(rest, packagePath_);
    case 'f':
      if (!noLanguageOrTransforms || installMode_ != InstallMode::kDefault) return false;
      installMode_ = InstallMode::kRepair;
      modeArgument_ = suffix;
      return NextOptionArgument(rest, packagePath_);
    case 'g':
    case 't':
      if (!noLanguageOrTransforms ||
          (installMode_ != InstallMode::kDefault && installMode_ != InstallMode::kAdvertise)) {
        return false;
      }
      languageOrTransformOption_ =
          ToLowerAscii(option[0]) == 'g' ? LanguageOrTransforms::kLanguage : LanguageOrTransforms::kTransforms;
      return NextOptionArgument(rest, languageOrTransforms_);
    case 'i':
      if (!noLanguageOrTransforms || installMode_ != InstallMode::kDefault) return false;
      installMode_ = InstallMode::kInstall;
      return NextOptionArgument(rest, packagePath_);
    case 'j':
      if (installMode_ != InstallMode::kDefault || mifOption_) return false;
      installMode_ = InstallMode::kAdvertise;
      modeArgument_ = suffix;
      return NextOptionArgument(rest, packagePath_);
    case 'l':
      if (logOption_) return false;
      logOption_ = true;
      logModes_ = suffix;
      return NextOptionArgument(rest, logFile_);
    case 'm':
      if (mifOption_ || installMode_ == InstallMode::kAdvertise || installMode_ == InstallMode::kPatch ||
          installMode_ == InstallMode::kAdministrativePatch) {
        return false;
      }
      mifOption_ = true;
      return NextOptionArgument(rest, mifFile_);
    case 'p':
      if (!noLanguageOrTransforms || mifOption_ ||
          (installMode_ != InstallMode::kDefault && installMode_ != InstallMode::kAdministrative)) {
        return false;
      }
      installMode_ =
          installMode_ == InstallMode::kAdministrative ? InstallMode::kAdministrativePatch : InstallMode::kPatch;
      return NextOptionArgument(rest, modeArgument_);
    case 'q': {
      const UiLevel level = UiLevelOfOption(option);
      if (!HasUiOption(level)) return false;
      uiLevel_ = level;
      return true;
    }
    case 'x':
      if (!noLanguageOrTransforms || installMode_ != InstallMode::kDefault) return false;
      installMode_ = InstallMode::kUninstall;
      return NextOptionArgument(rest, packagePath_);
    case 'y':
    case 'z':
      return false;
    case '~':
      if (tempCopyState_ != TempCopyState::kNotYet) return false;
      if (suffix.empty()) {
        tempCopyState_ = TempCopyState::kRunningFromCopy;
      } else if (suffix == "-") {
        tempCopyState_ = TempCopyState::kNone;
      } else {
        return false;
      }
      return true;
    case '?':
    case 'h':
      return true;
    default:
      passThroughOptions_.push_back(prefix + option);
      return true;
  }
}

void SetupCommandLine::AppendModeOption(std::string& text) const {
  const InstallMode mode = installMode_;
  text += ModeOptionText(mode);
  if (mode != InstallMode::kDefault && mode != InstallMode::kAdministrative) text += modeArgument_;
  if (mode == InstallMode::kAdministrativePatch) text += " /a";
  if (mode != InstallMode::kDefault && mode != InstallMode::kPatch) {
    text += " ";
    text += packagePath_;
  }
  if (mode == InstallMode::kAdvertise && languageOrTransformOption_ != LanguageOrTransforms::kNone) {
    text += languageOrTransformOption_ == LanguageOrTransforms::kLanguage ? " /g " : " /t ";
    text += languageOrTransforms_;
  }
}

void SetupCommandLine::AppendUiLevelOption(std::string& text) const { text += UiLevelOptionText(uiLevel_); }

void SetupCommandLine::AppendPassThroughOptions(std::string& text) const {
  for (const std::string& option : passThroughOptions_) {
    text += " ";
    text += option;
  }
}

void SetupCommandLine::AppendLogOption(std::string& text) const {
  if (!logOption_) return;
  text += " /L";
  text += logModes_;
  text += " ";
  text += logFile_;
}

void SetupCommandLine::AppendMifOption(std::string& text) const {
  if (!mifOption_) return;
  text += " /m ";
  text += mifFile_;
}

void SetupCommandLine::AppendProperties(std::string& text) const {
  for (const std::string& property : properties_) {
    text += " ";
    text += property;
  }
}

void SetupCommandLine::AppendTempCopyMarker(std::string& text) const { kq::AppendTempCopyMarker(text, tempCopyState_); }

void AppendTempCopyMarker(std::string& text, TempCopyState state) {
  if (state == TempCopyState::kRunningFromCopy) text += " /~";
  if (state == TempCopyState::kNone) text += " /~-";
}

}  // namespace kq
