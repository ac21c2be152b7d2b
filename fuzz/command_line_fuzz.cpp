// Feeds arbitrary argument text to SetupCommandLine::Parse, with the setup
// data files held in memory, and checks: no crash or overrun (the sanitizers),
// a refused command line leaves the object exactly as a new one, an accepted
// one has its fields in range and loaded setup data, a refused one names a
// word of the text, and the only internal error the text can cause is an
// unbalanced quote (location 23, 0x8004006B).
#include <cstdint>
#include <cstdlib>
#include <string>

#include "sys/internal_error.h"
#include "sys/setup_exit_code.h"
#include "config/setup_command_line.h"
#include "ini/memory_file_opener.h"

namespace {

constexpr char kFolder[] = "C:\\setup\\";

void Check(bool condition) {
  if (!condition) std::abort();
}

kq::MemoryFileOpener& Files() {
  static kq::MemoryFileOpener files = [] {
    kq::MemoryFileOpener f;
    const std::string ini = "[ProductInformation]\r\nPackageName=p.msi\r\n[ProductFeatures]\r\nMain\r\n";
    f.SetFile(std::string(kFolder) + "SETUP.INI", ini);
    f.SetFile(std::string(kFolder) + "OTHER.INI", ini);
    f.SetFile(std::string(kFolder) + "BAD.INI", "[ProductInformation\r\n");
    return f;
  }();
  return files;
}

// Every field, as text, so that two objects can be compared whole.
std::string Snapshot(const kq::SetupCommandLine& line) {
  std::string s;
  auto add = [&s](const std::string& part) {
    s += part;
    s += '\x1F';
  };
  add(line.GetDataFileName());
  add(line.GetSetupFolder());
  add(std::to_string(static_cast<int>(line.GetInstallMode())));
  add(line.GetModeArgument());
  add(line.GetReinstallMode());
  add(line.GetPackagePath());
  add(std::to_string(static_cast<int>(line.GetLanguageOrTransformOption())));
  add(line.GetLanguageOrTransforms());
  add(std::to_string(kq::UiLevelNumber(line.GetUiLevel())));
  add(std::to_string(line.HasLogOption()));
  add(line.GetLogModes());
  add(line.GetLogFile());
  add(std::to_string(line.HasMifOption()));
  add(line.GetMifFile());
  for (const std::string& option : line.GetPassThroughOptions()) add("o:" + option);
  for (const std::string& property : line.GetProperties()) add("p:" + property);
  add(std::to_string(static_cast<int>(line.GetTempCopyState())));
  add(std::to_string(line.RemovesTempCopy()));
  add(std::to_string(static_cast<int>(line.GetRebootMode())));
  add(std::to_string(line.GetSetupDataFile().IsLoaded()));
  add(line.GetSetupDataFile().GetSourceFolder());
  return s;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string arguments(reinterpret_cast<const char*>(data), size);
  if (arguments.find('\0') != std::string::npos) return 0;  // a command line has no NULs
  static const std::string fresh = Snapshot(kq::SetupCommandLine(Files()));

  kq::SetupCommandLine line(Files());
  bool accepted = false;
  const uint32_t code = kq::CatchSetupExitCode([&] {
    accepted = line.Parse(kFolder, arguments.c_str());
    kq::RaiseSetupExitCode(0);
  });
  if (code != 0) {
    Check(code == kq::kErrorTokenize);
    return 0;
  }
  // The raw look that decides the dialog and the boxes reads any text.
  kq::UiLevelOfCommandLine(arguments);
  if (!accepted) {
    Check(Snapshot(line) == fresh);
    Check(!line.GetRefusedArgument().empty() && arguments.find(line.GetRefusedArgument()) != std::string::npos);
    return 0;
  }
  Check(line.GetSetupDataFile().IsLoaded());
  Check(line.GetSetupFolder() == kFolder);
  Check(line.GetRebootMode() == kq::RebootMode::kNone || line.GetRestartPolicy().RebootGiven());
  for (const std::string& property : line.GetProperties()) {
    const size_t equals = property.find('=');
    Check(equals != std::string::npos);
    for (size_t i = 0; i < equals; ++i) Check(property[i] < 'a' || property[i] > 'z');
  }
  std::string built;
  line.AppendModeOption(built);
  line.AppendUiLevelOption(built);
  line.AppendPassThroughOptions(built);
  line.AppendLogOption(built);
  line.AppendMifOption(built);
  line.AppendProperties(built);
  line.AppendTempCopyMarker(built);
  // Nothing is invented: the options never outgrow the text plus the fixed
  // option words the builders add.
  Check(built.size() <= 2 * arguments.size() + 64);
  return 0;
}
