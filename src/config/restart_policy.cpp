#include "config/restart_policy.h"

#include "config/setup_command_line.h"
#include "text/ascii_text.h"

namespace kq {

bool ReadRebootMode(const std::string& value, RebootMode& mode) {
  switch (value.empty() ? '\0' : ToUpperAscii(value[0])) {
    case 'F':
      mode = RebootMode::kForce;
      return true;
    case 'S':
      mode = RebootMode::kSuppress;
      return true;
    case 'R':
      mode = RebootMode::kReallySuppress;
      return true;
    default:
      break;
  }
  if (value != "\"\"") return false;
  mode = RebootMode::kEmpty;
  return true;
}

void RestartPolicy::AppendWaitingRestart(std::string& text, bool waits) const {
  if (waits && !RebootGiven()) text += std::string(" ") + kRebootProperty + "=S";
}

std::string MakeRestartArguments(const std::string& argumentText, TempCopyState state) {
  std::string arguments = argumentText;
  const size_t marker = arguments.find("/~");
  if (marker == std::string::npos) {
    AppendTempCopyMarker(arguments, state);
  } else if (marker + 2 < arguments.size() && arguments[marker + 2] == '-') {
    arguments[marker + 2] = ' ';
  }
  return arguments;
}

}  // namespace kq
