// The message that tells a person the outcome of an update, shared by every front end.
#pragma once

#include "dfu_constants.h"

#include <cstdint>
#include <string>

namespace tolvane {

// Message-box icon types.
inline constexpr std::uint32_t kIconError = 0x10;        // MB_ICONERROR
inline constexpr std::uint32_t kIconWarning = 0x30;      // MB_ICONWARNING
inline constexpr std::uint32_t kIconInformation = 0x40;  // MB_ICONINFORMATION

struct ResultMessage {
    std::u16string text;
    std::uint32_t iconType = 0;
};

// The text and icon for the result of a whole update run. `vid` and `pid` are the target's
// identifiers as given, named by the not-found text.
ResultMessage ResultMessageFor(ResultCode code, std::uint32_t vid, std::uint32_t pid);

}  // namespace tolvane
