#include "app/reboot_policy.h"

#include "config/setup_command_line.h"
#include "sys/quiet_ui.h"

namespace kq {

namespace {

bool Contains(const std::string& text, const char* part) { return text.find(part) != std::string::npos; }

}  // namespace

std::string MakeRestartArguments(const std::string& argumentText, TempCopyState state) {
  std::string arguments = argumentText;
  const size_t marker = arguments.find("/~");
  if (marker == std::string::npos) {
    if (state == TempCopyState::kRunningFromCopy) arguments += " /~";
    if (state == TempCopyState::kNone) arguments += " /~-";
  } else if (marker + 2 < arguments.size() && arguments[marker + 2] == '-') {
    arguments[marker + 2] = ' ';
  }
  return arguments;
}

bool AsksBeforeFinalReboot(const std::string& argumentText, UiLevel uiLevel) {
  if (ShowsNoBoxes(uiLevel)) return false;
  for (const char* prefix : {"/", "-"}) {
    for (const char* asking : {"QF", "QR", "QB+", "QN+"}) {
      if (Contains(argumentText, (prefix + std::string(asking)).c_str())) return true;
    }
  }
  return !Contains(argumentText, "/Q") && !Contains(argumentText, "-Q");
}

}  // namespace kq
