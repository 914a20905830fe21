#include "hex_identifier.h"

#include "text.h"

#include <cstddef>

namespace vandrel {
namespace {

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
        tolvane::HexDigitValue(text[i + 2]) >= 0) {
        i += 2;
    }
    std::uint64_t value = 0;
    bool overflow = false;
    for (; i < text.size(); ++i) {
        const int digit = tolvane::HexDigitValue(text[i]);
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
