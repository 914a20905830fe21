#include "versions/release_number.h"

#include <cstdio>

namespace tolvane::cli {

std::string ReleaseText(std::uint16_t bcd) {
    char text[16];
    std::snprintf(text, sizeof text, "%x.%02x", static_cast<unsigned>(bcd >> 8),
                  static_cast<unsigned>(bcd & 0xFF));
    return text;
}

std::optional<std::uint16_t> ParseRelease(const std::string& text) {
    const auto point = text.find('.');
    if (point == std::string::npos || point == 0 || point > 2 || text.size() != point + 3) {
        return std::nullopt;
    }
    std::uint16_t bcd = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (i == point) continue;
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        bcd = static_cast<std::uint16_t>(bcd << 4 | (text[i] - '0'));
    }
    return bcd;
}

}  // namespace tolvane::cli
