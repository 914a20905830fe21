#include "text.h"

#include <cstdint>

namespace tolvane {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

bool IsHighSurrogate(char32_t u) {
    return u >= 0xD800 && u <= 0xDBFF;
}
bool IsLowSurrogate(char32_t u) {
    return u >= 0xDC00 && u <= 0xDFFF;
}

void AppendUtf8(std::string& out, char32_t cp) {
    const auto put = [&out](std::uint32_t byte) { out.push_back(static_cast<char>(byte)); };
    const auto c = static_cast<std::uint32_t>(cp);
    if (c < 0x80) {
        put(c);
    } else if (c < 0x800) {
        put(0xC0 | (c >> 6));
        put(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
        put(0xE0 | (c >> 12));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    } else {
        put(0xF0 | (c >> 18));
        put(0x80 | ((c >> 12) & 0x3F));
        put(0x80 | ((c >> 6) & 0x3F));
        put(0x80 | (c & 0x3F));
    }
}

void AppendUtf16(std::u16string& out, char32_t cp) {
    if (cp < 0x10000) {
        out.push_back(static_cast<char16_t>(cp));
    } else {
        const char32_t v = cp - 0x10000;
        out.push_back(static_cast<char16_t>(0xD800 + (v >> 10)));
        out.push_back(static_cast<char16_t>(0xDC00 + (v & 0x3FF)));
    }
}

// The length of the UTF-8 sequence that `lead` starts and the bits it carries; 0 when it starts
// none.
std::size_t SequenceLength(unsigned char lead, char32_t& cp, char32_t& minimum) {
    if (lead < 0x80) {
        cp = lead;
        minimum = 0;
        return 1;
    }
    if ((lead & 0xE0) == 0xC0) {
        cp = lead & 0x1Fu;
        minimum = 0x80;
        return 2;
    }
    if ((lead & 0xF0) == 0xE0) {
        cp = lead & 0x0Fu;
        minimum = 0x800;
        return 3;
    }
    if ((lead & 0xF8) == 0xF0) {
        cp = lead & 0x07u;
        minimum = 0x10000;
        return 4;
    }
    return 0;
}

}  // namespace

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char32_t u = text[i];
        if (IsHighSurrogate(u) && i + 1 < text.size() && IsLowSurrogate(text[i + 1])) {
            AppendUtf8(out, 0x10000 + ((u - 0xD800) << 10) + (char32_t{text[i + 1]} - 0xDC00));
            ++i;
        } else if (IsHighSurrogate(u) || IsLowSurrogate(u)) {
            AppendUtf8(out, kReplacement);
        } else {
            AppendUtf8(out, u);
        }
    }
    return out;
}

std::u16string FromUtf8(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        char32_t cp = 0;
        char32_t minimum = 0;
        const std::size_t length = SequenceLength(static_cast<unsigned char>(text[i]), cp, minimum);
        bool valid = length != 0 && i + length <= text.size();
        for (std::size_t k = 1; valid && k < length; ++k) {
            const auto next = static_cast<unsigned char>(text[i + k]);
            valid = (next & 0xC0) == 0x80;
            cp = (cp << 6) | (next & 0x3Fu);
        }
        valid =
            valid && cp >= minimum && cp <= 0x10FFFF && !IsHighSurrogate(cp) && !IsLowSurrogate(cp);
        if (valid) {
            AppendUtf16(out, cp);
            i += length;
        } else {
            AppendUtf16(out, kReplacement);
            ++i;
        }
    }
    return out;
}

}  // namespace tolvane
