#include "sys/internal_error.h"

#include "sys/setup_exit_code.h"
#include "sys/format.h"
#include "sys/messages.h"

namespace kq {

namespace {

// Written once by the dialog's thread before the worker starts, read by the
// worker afterwards; thread creation orders the two.
WindowHandle g_owner = nullptr;

std::string MessageOrEnglish(uint32_t locale, uint32_t id, const char* english) {
  std::string text;
  if (!GetMessageTextForLocale(locale, id, text)) text = english;
  return text;
}

}  // namespace

std::string FormatInternalErrorText(const std::string& messageTemplate, uint32_t location,
                                    uint32_t hresult) {
  return Format(messageTemplate.c_str(), static_cast<unsigned>(location & 0xFFFFu),
                static_cast<unsigned>(hresult));
}

void RaiseInternalError(uint32_t location, uint32_t hresult, WindowHandle owner) {
  if (location == 0 && hresult == 0 && owner != nullptr) {
    g_owner = owner;
    return;
  }
  RaiseInternalError(location, hresult);
}

void ReportInternalError(uint32_t location, uint32_t hresult) {
  const RunPlatform& platform = CurrentRunPlatform();
  const uint32_t locale = platform.userLocale();
  const std::string text = FormatInternalErrorText(
      MessageOrEnglish(locale, kMsgErrorCode, "Error Code: %04X.%08X"), location, hresult);
  // In a quiet run the log is the only witness.
  platform.log("Internal Error");
  platform.log(text.c_str());
  if (QuietCommandLine(platform.processCommandLine())) return;
  const std::string caption = MessageOrEnglish(locale, kMsgInternalError, "Internal Error");
  platform.showErrorBox(g_owner, caption.c_str(), text.c_str());
}

void RaiseInternalError(uint32_t location, uint32_t hresult) {
  ReportInternalError(location, hresult);
  RaiseSetupExitCode(hresult);
}

WindowHandle InternalErrorOwner() { return g_owner; }

}  // namespace kq
