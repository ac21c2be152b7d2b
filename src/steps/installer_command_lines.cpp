#include "steps/installer_command_lines.h"

#include <algorithm>

#include "text/ascii_text.h"
#include "text/next_field.h"
#include "config/setup_command_line.h"
#include "text/mbcs_path.h"
#include "text/program_names.h"

namespace kq {

void AppendStandardOptionTail(const SetupCommandLine& commandLine, std::string& text) {
  commandLine.AppendUiLevelOption(text);
  commandLine.AppendLogOption(text);
  commandLine.AppendMifOption(text);
  commandLine.AppendPassThroughOptions(text);
  commandLine.AppendProperties(text);
}

std::string MaintenanceCommandLine(const std::string& systemFolder, const std::string& packageFolder,
                                   const std::string& packageName, const SetupCommandLine& commandLine) {
  const char* mode = commandLine.GetReinstallMode().empty() ? " /fvomus " : " /I ";
  std::string text = JoinPath(systemFolder, kInstallerName) + mode + QuotedPath(JoinPath(packageFolder, packageName));
  AppendStandardOptionTail(commandLine, text);
  return text;
}

std::string MainInstallerCommandLine(const std::string& systemFolder, const std::string& packageFolder,
                                     const std::string& packageName, const SetupCommandLine& commandLine,
                                     bool mainRestartWaits) {
  std::string text = JoinPath(systemFolder, kInstallerProgram);
  if (commandLine.GetInstallMode() == InstallMode::kDefault)
    text += " /i " + QuotedPath(JoinPath(packageFolder, packageName));
  else
    commandLine.AppendModeOption(text);
  AppendStandardOptionTail(commandLine, text);
  commandLine.GetRestartPolicy().AppendWaitingRestart(text, mainRestartWaits);
  return text;
}

std::string NestedDataFileWord(const std::string& arguments) {
  std::string rest = arguments;
  std::string word;
  if (!NextField(rest, word, " ", QuoteMode::Remove)) return std::string();
  return word;
}

std::string NestedInstallerCommandLine(const std::string& folder, const SetupCommandLine& commandLine,
                                       const std::string& arguments) {
  std::string text = ProgramWord(JoinPath(folder, kSetupProgram)) + " " + arguments;
  AppendStandardOptionTail(commandLine, text);
  if (text.find("/~") == std::string::npos) AppendTempCopyMarker(text, TempCopyState::kNone);
  return text;
}

PostInstallEntryRead ReadPostInstallEntry(const std::string& entry, std::string& componentCode,
                                          std::string& arguments) {
  componentCode.clear();
  arguments.clear();
  std::string rest = entry;
  TrimBlanks(rest);
  if (rest.empty()) return PostInstallEntryRead::Skip;
  if (!NextField(rest, componentCode, ",", QuoteMode::Remove) ||
      !NextField(rest, arguments, ",", QuoteMode::Remove))
    return PostInstallEntryRead::Malformed;
  return componentCode.empty() ? PostInstallEntryRead::Skip : PostInstallEntryRead::Use;
}

std::string PostInstallCommandLine(const std::string& keyPath, const std::string& arguments) {
  return QuotedPath(keyPath) + " " + arguments;
}

RemovalCommand PrepareRemovalCommand(const std::string& command, const SetupCommandLine& commandLine) {
  RemovalCommand removal;
  removal.text = command;
  const std::string upper = UpperCaseAscii(command);
  const UiLevel uiLevel = commandLine.GetUiLevel();
  if (upper.find(kInstallerName) != std::string::npos) {
    removal.installerRemoval = true;
    if (upper.find("/Q") == std::string::npos && HasUiOption(uiLevel)) commandLine.AppendUiLevelOption(removal.text);
  } else if (upper.find("UNINST") != std::string::npos && upper.find(".ISU") != std::string::npos) {
    // The uninstaller's own log argument is often left with its quote open.
    if (std::count(command.begin(), command.end(), '"') % 2 != 0) removal.text += "\"";
    if (AsksForLessThanFullUi(uiLevel)) removal.text += " -a";
  }
  return removal;
}

}  // namespace kq
