#pragma once
// The questions and refusals of the steps that deal with software in the
// way: a localized message with its placeholders filled in, captioned by
// another message, owned by the progress dialog and brought to the front.
#include <windows.h>

#include <cstdint>
#include <string>
#include <vector>

#include "sys/quiet_ui.h"

namespace kq {

// Shows message `textId` with the "NAME,value" placeholders substituted,
// under the caption of message `captionId`, with MB_SETFOREGROUND added to
// `style`, and logs it. Returns the button pressed (0 when no box could be
// shown).
int ShowSoftwareMessage(HWND owner, uint32_t textId, uint32_t captionId, UINT style,
                        const std::vector<std::string>& placeholders = {});

// Logs the same message without showing it: what a step that decides
// silently (IsSilentUiLevel) would have told the user.
void LogSoftwareMessage(uint32_t textId, uint32_t captionId, const std::vector<std::string>& placeholders = {});

}  // namespace kq
