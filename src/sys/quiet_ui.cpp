#include "sys/quiet_ui.h"

#include "sys/run_platform.h"
#include "text/ascii_text.h"

namespace kq {

namespace {

bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

}  // namespace

int UiLevelNumber(UiLevel level) { return static_cast<int>(level); }

const char* UiLevelOptionText(UiLevel level) {
  switch (level) {
    case UiLevel::kNone: return "";
    case UiLevel::kFull: return " /qf";
    case UiLevel::kReduced: return " /qr";
    case UiLevel::kBasicModalEnd: return " /qb+";
    case UiLevel::kBasic: return " /qb";
    case UiLevel::kBasicNoModal: return " /qb-";
    case UiLevel::kNoneModalEnd: return " /qn+";
    case UiLevel::kQuiet: return " /qn";
  }
  return "";
}

UiLevel UiLevelOfOption(const std::string& option) {
  const std::string lower = LowerCaseAscii(option);
  if (lower == "quiet") return UiLevel::kQuiet;
  if (lower == "passive") return UiLevel::kBasicNoModal;
  if (lower.empty() || lower[0] != 'q') return UiLevel::kNone;
  const std::string suffix = lower.substr(1);
  if (suffix.empty() || suffix == "n") return UiLevel::kQuiet;
  if (suffix == "f") return UiLevel::kFull;
  if (suffix == "r") return UiLevel::kReduced;
  if (suffix == "b") return UiLevel::kBasic;
  if (suffix == "b+") return UiLevel::kBasicModalEnd;
  if (suffix == "b-") return UiLevel::kBasicNoModal;
  if (suffix == "n+") return UiLevel::kNoneModalEnd;
  return UiLevel::kNone;
}

UiLevel UiLevelOfCommandLine(const std::string& commandLine) {
  UiLevel level = UiLevel::kNone;
  size_t i = 0;
  while (i < commandLine.size()) {
    while (i < commandLine.size() && IsBlankChar(commandLine[i])) ++i;
    std::string word;
    bool quoted = false;
    for (; i < commandLine.size() && (quoted || !IsBlankChar(commandLine[i])); ++i) {
      if (commandLine[i] == '"') quoted = !quoted;
      word += commandLine[i];
    }
    if (word.size() > 1 && (word[0] == '/' || word[0] == '-')) {
      const UiLevel found = UiLevelOfOption(word.substr(1));
      if (HasUiOption(found)) level = found;
    }
  }
  return level;
}

bool ShowsNoBoxes(UiLevel level) { return level == UiLevel::kBasicNoModal || level == UiLevel::kQuiet; }

bool IsSilentUiLevel(UiLevel level) {
  return level == UiLevel::kBasicNoModal || level == UiLevel::kNoneModalEnd || level == UiLevel::kQuiet;
}

bool InstallsEngineQuietly(UiLevel level) {
  return level == UiLevel::kBasic || level == UiLevel::kBasicNoModal || level == UiLevel::kQuiet;
}

bool HidesDialog(UiLevel level) { return level == UiLevel::kQuiet; }

bool HasUiOption(UiLevel level) { return level != UiLevel::kNone; }

bool AsksForLessThanFullUi(UiLevel level) { return HasUiOption(level) && level != UiLevel::kFull; }

bool AsksBeforeFinalReboot(const std::string& argumentText, UiLevel uiLevel) {
  if (ShowsNoBoxes(uiLevel)) return false;
  for (const char* prefix : {"/", "-"}) {
    for (const char* asking : {"QF", "QR", "QB+", "QN+"}) {
      if (Contains(argumentText, prefix + std::string(asking))) return true;
    }
  }
  return !Contains(argumentText, "/Q") && !Contains(argumentText, "-Q");
}

bool QuietCommandLine(const std::string& commandLine) { return ShowsNoBoxes(UiLevelOfCommandLine(commandLine)); }

bool HiddenDialogCommandLine(const std::string& commandLine) { return HidesDialog(UiLevelOfCommandLine(commandLine)); }

void LogBoxText(const std::string& caption, const std::string& text) {
  RunLog(caption);
  size_t begin = 0;
  while (begin < text.size()) {
    size_t end = text.find('\n', begin);
    if (end == std::string::npos) end = text.size();
    std::string line = text.substr(begin, end - begin);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) RunLog(line);
    begin = end + 1;
  }
}

}  // namespace kq
