#include "web_path.h"

#include "text.h"

#include <cstdio>

namespace tolvane::web {

namespace {

// Reads decimal digits at `at`; none when there is none or too many.
std::optional<std::uint32_t> Digits(std::u16string_view text, std::size_t& at) {
    std::uint32_t value = 0;
    const std::size_t start = at;
    while (at < text.size() && text[at] >= u'0' && text[at] <= u'9' && at - start < 9) {
        value = value * 10 + static_cast<std::uint32_t>(text[at] - u'0');
        ++at;
    }
    if (at == start) return std::nullopt;
    return value;
}

bool Takes(std::u16string_view text, std::size_t& at, std::u16string_view word) {
    if (text.size() - at < word.size()) return false;
    for (std::size_t i = 0; i < word.size(); ++i) {
        if (AsciiLower(text[at + i]) != word[i]) return false;
    }
    at += word.size();
    return true;
}

}  // namespace

std::u16string WebInterfacePath(std::uint16_t vendorId, std::uint16_t productId, WebInterfaceId id,
                                std::uint32_t collections) {
    char text[96];
    if (collections > 1) {
        std::snprintf(text, sizeof text, "\\\\?\\HID#VID_%04X&PID_%04X#web%u&col%02u", vendorId,
                      productId, id.number, id.collection + 1);
    } else {
        std::snprintf(text, sizeof text, "\\\\?\\HID#VID_%04X&PID_%04X#web%u", vendorId, productId,
                      id.number);
    }
    return std::u16string(text, text + std::char_traits<char>::length(text));
}

std::optional<WebInterfaceId> ParseWebInterfacePath(std::u16string_view path) {
    const std::size_t hash = path.rfind(u'#');
    if (hash == std::u16string_view::npos) return std::nullopt;
    std::size_t at = hash + 1;
    if (!Takes(path, at, u"web")) return std::nullopt;
    const auto number = Digits(path, at);
    if (!number) return std::nullopt;
    WebInterfaceId id{*number, 0};
    if (at < path.size()) {
        if (!Takes(path, at, u"&col")) return std::nullopt;
        const auto collection = Digits(path, at);
        if (!collection || *collection == 0 || at != path.size()) return std::nullopt;
        id.collection = *collection - 1;
    }
    return id;
}

}  // namespace tolvane::web
