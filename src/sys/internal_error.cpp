#include "sys/internal_error.h"

#include "sys/setup_exit_code.h"
#include "sys/format.h"
#include "sys/messages.h"

namespace kq {

namespace {

// Written once by the dialog's thread before the worker starts, read by the
// worker afterwards; thread creation orders the two.
WindowHandle g_owner = nullptr;

constexpr char kEnglishCaption[] = "Internal Error";
constexpr char kEnglishTemplate[] = "Error Code: %04X.%08X";

std::string MessageOrEnglish(uint32_t locale, uint32_t id, const char* english) {
  std::string text;
  if (!GetMessageTextForLocale(locale, id, text)) text = english;
  return text;
}

// The box's body in the user's language.
std::string LocalizedText(const RunPlatform& platform, uint32_t location, uint32_t hresult) {
  return FormatInternalErrorText(MessageOrEnglish(platform.userLocale(), kMsgErrorCode, kEnglishTemplate), location,
                                 hresult);
}

void ShowBox(const RunPlatform& platform, WindowHandle owner, const std::string& text) {
  const std::string caption = MessageOrEnglish(platform.userLocale(), kMsgInternalError, kEnglishCaption);
  platform.showErrorBox(owner, caption.c_str(), text.c_str());
}

}  // namespace

std::string InternalErrorCodeText(uint32_t location, uint32_t hresult) {
  return FormatInternalErrorText(kEnglishTemplate, location, hresult);
}

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
  const std::string text = LocalizedText(platform, location, hresult);
  // In a quiet run the log is the only witness.
  platform.log(kEnglishCaption);
  platform.log(text.c_str());
  if (QuietCommandLine(platform.processCommandLine())) return;
  ShowBox(platform, g_owner, text);
}

void ShowInternalErrorBox(WindowHandle owner, uint32_t location, uint32_t hresult) {
  const RunPlatform& platform = CurrentRunPlatform();
  const std::string text = LocalizedText(platform, location, hresult);
  if (QuietCommandLine(platform.processCommandLine())) {
    platform.log(kEnglishCaption);
    platform.log(text.c_str());
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
