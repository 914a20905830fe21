#include "output/text_format.h"

#include "text.h"

#include <cstdio>

namespace tolvane::cli {

std::string Hex(std::uint64_t value, int digits) {
    char buffer[24];
    std::snprintf(buffer, sizeof buffer, "0x%0*llX", digits,
                  static_cast<unsigned long long>(value));
    return buffer;
}

std::string HexBytes(std::span<const std::uint8_t> bytes) {
    static constexpr char kDigits[] = "0123456789abcdef";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (const std::uint8_t b : bytes) {
        if (!text.empty()) text += ' ';
        text += kDigits[b >> 4];
        text += kDigits[b & 0x0F];
    }
    return text;
}

std::string Printable(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    const auto escape = [&shown](unsigned char byte) {
        char buffer[8];
        std::snprintf(buffer, sizeof buffer, "\\x%02X", byte);
        shown += buffer;
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        const bool c1 = byte == 0xC2 && i + 1 < text.size() &&
                        static_cast<unsigned char>(text[i + 1]) >= 0x80 &&
                        static_cast<unsigned char>(text[i + 1]) <= 0x9F;
        if (c1) {
            escape(byte);
            escape(static_cast<unsigned char>(text[++i]));
        } else if (byte < 0x20 || byte == 0x7F) {
            escape(byte);
        } else {
            shown += text[i];
        }
    }
    return shown;
}

std::optional<std::uint32_t> ParseHex(std::string_view text, std::uint32_t max) {
    if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X')) {
        text.remove_prefix(2);
    }
    if (text.empty()) return std::nullopt;
    std::uint64_t value = 0;
    for (const char c : text) {
        const int digit = HexDigitValue(c);
        if (digit < 0) return std::nullopt;
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > max) return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

}  // namespace tolvane::cli
