#include "sys/quiet_ui.h"

#include "sys/run_platform.h"
#include "text/ascii_text.h"

namespace kq {

namespace {

bool IsBlankChar(char c) { return c == ' ' || c == '\t'; }

}  // namespace

int UiLevelOfOption(const std::string& option) {
  const std::string lower = LowerCaseAscii(option);
  if (lower == "quiet") return kUiQuiet;
  if (lower == "passive") return kUiBasicNoModal;
  if (lower.empty() || lower[0] != 'q') return kUiNone;
  const std::string suffix = lower.substr(1);
  if (suffix.empty() || suffix == "n") return kUiQuiet;
  if (suffix == "f") return kUiFull;
  if (suffix == "r") return kUiReduced;
  if (suffix == "b") return kUiBasic;
  if (suffix == "b+") return kUiBasicModalEnd;
  if (suffix == "b-") return kUiBasicNoModal;
  if (suffix == "n+") return kUiNoneModalEnd;
  return kUiNone;
}

int UiLevelOfCommandLine(const std::string& commandLine) {
  int level = kUiNone;
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
      const int found = UiLevelOfOption(word.substr(1));
      if (found != kUiNone) level = found;
    }
  }
  return level;
}

bool ShowsNoBoxes(int uiLevel) { return uiLevel == kUiBasicNoModal || uiLevel == kUiQuiet; }

bool IsSilentUiLevel(int uiLevel) {
  return uiLevel == kUiBasicNoModal || uiLevel == kUiNoneModalEnd || uiLevel == kUiQuiet;
}

bool InstallsEngineQuietly(int uiLevel) {
  return uiLevel == kUiBasic || uiLevel == kUiBasicNoModal || uiLevel == kUiQuiet;
}

bool HidesDialog(int uiLevel) { return uiLevel == kUiQuiet; }

bool HasUiOption(int uiLevel) { return uiLevel != kUiNone; }

bool AsksForLessThanFullUi(int uiLevel) { return HasUiOption(uiLevel) && uiLevel != kUiFull; }

bool QuietCommandLine(const std::string& commandLine) { return ShowsNoBoxes(UiLevelOfCommandLine(commandLine)); }

bool HiddenDialogCommandLine(const std::string& commandLine) {
  return UiLevelOfCommandLine(commandLine) == kUiQuiet;
}

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
