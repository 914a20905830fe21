// A device's release number (the USB bcdDevice): four BCD digits, written "1.02" for 0x0102.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace tolvane::cli {

// "1.02" for 0x0102, "12.34" for 0x1234; digits that are not BCD are shown as the hexadecimal
// digits they are ("1.0a"), so that no two numbers read alike.
std::string ReleaseText(std::uint16_t bcd);

// "X.YY" with one or two digits before the point and exactly two after; none otherwise.
std::optional<std::uint16_t> ParseRelease(const std::string& text);

}  // namespace tolvane::cli
