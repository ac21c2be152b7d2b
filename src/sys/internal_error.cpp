#include "sys/internal_error.h"

#include "sys/setup_exit_code.h"
#include "sys/format.h"
#include "sys/messages.h"

namespace kq {

namespace {

// Written once by the dialog's thread before the worker starts, read by the
// worker afterwards; thread creation orders the two.
WindowHandle g_owner = nullptr;

// The box's body in the user's language.
std::string LocalizedText(const RunPlatform& platform, uint32_t location, uint32_t hresult) {
  std::string messageTemplate;
  GetMessageTextForLocale(platform.userLocale(), kMsgErrorCode, messageTemplate);
  return FormatInternalErrorText(messageTemplate, location, hresult);
}

// The log's lines are English whatever the user's language.
void LogInternalError(const RunPlatform& platform, const std::string& text) {
  platform.log(EnglishMessageText(kMsgInternalError).c_str());
  platform.log(text.c_str());
}

void ShowBox(const RunPlatform& platform, WindowHandle owner, const std::string& text) {
  std::string caption;
  GetMessageTextForLocale(platform.userLocale(), kMsgInternalError, caption);
  platform.showErrorBox(owner, caption.c_str(), text.c_str());
}

}  // namespace

std::string InternalErrorCodeText(uint32_t location, uint32_t hresult) {
  return FormatInternalErrorText(EnglishMessageText(kMsgErrorCode), location, hresult);
}

std::string FormatInternalErrorText(const std::string& messageTemplate, uint32_t location,
                                    uint32_t hresult) {
  return Format(messageTemplate.c_str(), static_cast<unsigned>(location & 0xFFFFu),
                static_cast<unsigned>(hresult));
}

void SetInternalErrorOwner(WindowHandle owner) { g_owner = owner; }

void RaiseInternalError(uint32_t location, uint32_t hresult, WindowHandle owner) {
  if (location == 0 && hresult == 0 && owner != nullptr) {
    SetInternalErrorOwner(owner);
    return;
  }
  RaiseInternalError(location, hresult);
}

void ReportInternalError(uint32_t location, uint32_t hresult) {
  const RunPlatform& platform = CurrentRunPlatform();
  const std::string text = LocalizedText(platform, location, hresult);
  // In a quiet run the log is the only witness.
  LogInternalError(platform, text);
  if (QuietCommandLine(platform.processCommandLine())) return;
  ShowBox(platform, g_owner, text);
}

void ShowInternalErrorBox(WindowHandle owner, uint32_t location, uint32_t hresult) {
  const RunPlatform& platform = CurrentRunPlatform();
  const std::string text = LocalizedText(platform, location, hresult);
  if (QuietCommandLine(platform.processCommandLine())) {
    LogInternalError(platform, text);
    return;
  }
  ShowBox(platform, owner, text);
}

void RaiseInternalError(uint32_t location, uint32_t hresult) {
  ReportInternalError(location, hresult);
  RaiseSetupExitCode(hresult);
}

WindowHandle InternalErrorOwner() { return g_owner; }

}  // namespace kq
