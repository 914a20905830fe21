#include "hex_identifier.h"

#include <cstddef>

namespace vandrel {
namespace {

int HexDigitValue(char16_t c) noexcept {
    if (c >= u'0' && c <= u'9') return c - u'0';
    if (c >= u'a' && c <= u'f') return c - u'a' + 10;
    if (c >= u'A' && c <= u'F') return c - u'A' + 10;
    return -1;
}

bool IsSpace(char16_t c) noexcept {
    return c == u' ' || (c >= u'\t' && c <= u'\r');
}

}  // namespace

std::uint32_t ParseHexIdentifier(std::u16string_view text) noexcept {
    std::size_t i = 0;
    while (i < text.size() && IsSpace(text[i])) ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == u'+' || text[i] == u'-')) {
        negative = text[i] == u'-';
        ++i;
    }
    // The prefix counts only when a digit follows it; otherwise the "0" alone is the number.
    if (i + 2 < text.size() && text[i] == u'0' && (text[i + 1] == u'x' || text[i + 1] == u'X') &&
        HexDigitValue(text[i + 2]) >= 0) {
        i += 2;
    }
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const int digit = HexDigitValue(text[i]);
        if (digit < 0) break;
        value = value * 16 + static_cast<std::uint64_t>(digit);
        if (value > 0xFFFFFFFFu) {
            overflow = true;
            value = 0xFFFFFFFFu;  // keep reading the digits, the result stays saturated
        }
    }
    if (overflow) return 0xFFFFFFFFu;
    const auto result = static_cast<std::uint32_t>(value);
    return negative ? static_cast<std::uint32_t>(0u - result) : result;
}

}  // namespace vandrel
