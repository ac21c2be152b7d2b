#pragma once
// The setup program's command line: MSIEXEC's syntax plus a few switches of
// its own. Parse splits the argument text into options and properties and
// loads the setup data file it names (or SETUP.INI); the builders turn the
// fields back into MSIEXEC options.
#include <cstdint>
#include <string>
#include <vector>

#include "config/restart_policy.h"
#include "config/setup_data_file.h"
#include "sys/quiet_ui.h"

namespace kq {

// UI levels: see sys/quiet_ui.h. Restarts: see config/restart_policy.h.

// What the command line asks for: MSIEXEC's mode switches (/i, /f, /x, /j,
// /a, /p, and /a with /p), or none (kDefault: install, or maintain what is
// installed).
enum class InstallMode { kDefault, kInstall, kRepair, kUninstall, kAdvertise, kAdministrative, kPatch,
                         kAdministrativePatch };

// Which of /g (a language) and /t (transforms) was given, for /j.
enum class LanguageOrTransforms { kNone, kLanguage, kTransforms };

// Where this run works from. kNotYet: on the medium, and a temporary copy
// may still be made; kRunningFromCopy: from its temporary copy ("/~", as a
// restarted setup is given it), which the run removes at its end; kNone: on
// the medium for good ("/~-", or the copy could not be made).
enum class TempCopyState { kNotYet, kRunningFromCopy, kNone };

// Appends the marker of `state` that tells a setup started with it where it
// runs from: " /~" from its copy, " /~-" from its medium; nothing for kNotYet.
// The one place the marker is written.
void AppendTempCopyMarker(std::string& text, TempCopyState state);

class SetupCommandLine {
 public:
  // The setup data file is read through `opener`: the file system unless a
  // test or the fuzz target gives memory files. It must outlive the object.
  explicit SetupCommandLine(IniFileOpener& opener = PlatformFileOpener()) : setupDataFile_(opener) {}

  // Parses the argument text (the command line without the program name).
  // An option begins with "/" or "-". False when an argument is refused; the
  // object is then reset and GetRefusedArgument names the word. Raises
  // internal error at kLocationCommandLine when either argument is missing,
  // the folder is empty, or the text cannot be split into words (an
  // unbalanced quote).
  bool Parse(const char* setupFolder, const char* argumentText);

  // Loads `name` from the setup folder (kLocationCommandLine with kErrorPointer
  // when the folder is empty or the name missing).
  void LoadDataFile(const char* name);

  void Reset();

  // What the run works from: changed after parsing by the temporary copy's
  // unit alone (steps/temp_copy.cpp), which decides it.
  void SetSetupFolder(const char* folder);
  void SetTempCopyState(TempCopyState state) { tempCopyState_ = state; }
  // The copy this run works from outlives it: a nested setup runs from it
  // and goes on from there after a restart.
  void KeepTempCopy() { keepsTempCopy_ = true; }

  SetupDataFile& GetSetupDataFile() { return setupDataFile_; }
  const SetupDataFile& GetSetupDataFile() const { return setupDataFile_; }
  const std::string& GetSetupFolder() const { return setupFolder_; }
  const std::string& GetDataFileName() const { return dataFileName_; }
  // The argument text as the last Parse was given it.
  const std::string& GetArgumentText() const { return argumentText_; }
  InstallMode GetInstallMode() const { return installMode_; }
  UiLevel GetUiLevel() const { return uiLevel_; }
  const std::string& GetReinstallMode() const { return reinstallMode_; }
  TempCopyState GetTempCopyState() const { return tempCopyState_; }
  // Whether the run ends by removing the copy it runs from.
  bool RemovesTempCopy() const { return tempCopyState_ == TempCopyState::kRunningFromCopy && !keepsTempCopy_; }
  // The word the last Parse refused (empty when it accepted the text).
  const std::string& GetRefusedArgument() const { return refusedArgument_; }
  RebootMode GetRebootMode() const { return restartPolicy_.Mode(); }
  const RestartPolicy& GetRestartPolicy() const { return restartPolicy_; }
  const std::string& GetModeArgument() const { return modeArgument_; }
  const std::string& GetPackagePath() const { return packagePath_; }
  LanguageOrTransforms GetLanguageOrTransformOption() const { return languageOrTransformOption_; }
  const std::string& GetLanguageOrTransforms() const { return languageOrTransforms_; }
  bool HasLogOption() const { return logOption_; }
  const std::string& GetLogModes() const { return logModes_; }
  const std::string& GetLogFile() const { return logFile_; }
  bool HasMifOption() const { return mifOption_; }
  const std::string& GetMifFile() const { return mifFile_; }
  const std::vector<std::string>& GetPassThroughOptions() const { return passThroughOptions_; }
  const std::vector<std::string>& GetProperties() const { return properties_; }

  // Builders: each appends its MSIEXEC option text to `text`.
  void AppendModeOption(std::string& text) const;
  void AppendUiLevelOption(std::string& text) const;
  void AppendPassThroughOptions(std::string& text) const;
  void AppendLogOption(std::string& text) const;
  void AppendMifOption(std::string& text) const;
  void AppendProperties(std::string& text) const;
  void AppendTempCopyMarker(std::string& text) const;

 private:
  bool HandleArgument(int index, const std::string& token, std::string& rest);
  bool HandleOption(char prefix, const std::string& option, std::string& rest);
  bool HandleOptionWord(const std::string& word, std::string& rest, bool& handled);
  bool HandlePropertyWord(const std::string& word, std::string& rest);
  bool AddProperty(const std::string& name, const std::string& value);
  void LoadDefaultDataFile();

  SetupDataFile setupDataFile_;
  std::string argumentText_;
  std::string dataFileName_;
  std::string setupFolder_;
  InstallMode installMode_ = InstallMode::kDefault;
  std::string modeArgument_;
  std::string reinstallMode_;
  std::string packagePath_;
  LanguageOrTransforms languageOrTransformOption_ = LanguageOrTransforms::kNone;
  std::string languageOrTransforms_;
  UiLevel uiLevel_ = UiLevel::kNone;
  bool logOption_ = false;
  std::string logModes_;
  std::string logFile_;
  bool mifOption_ = false;
  std::string mifFile_;
  std::vector<std::string> passThroughOptions_;
  std::vector<std::string> properties_;
  TempCopyState tempCopyState_ = TempCopyState::kNotYet;
  bool keepsTempCopy_ = false;
  RestartPolicy restartPolicy_;
  std::string refusedArgument_;
};

}  // namespace kq
