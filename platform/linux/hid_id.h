// The HID_ID property that udev gives a HID device: "BBBB:VVVVVVVV:PPPPPPPP", bus type, vendor
// and product in hex.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace tolvane::hidraw {

struct HidId {
    std::uint16_t busType = 0;
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
};

// Nothing when the text is not three ':'-separated hex fields or a field exceeds 16 bits.
std::optional<HidId> ParseHidId(std::string_view text);

}  // namespace tolvane::hidraw
