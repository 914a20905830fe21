#include "hidraw_path.h"

#include <algorithm>
#include <array>

namespace tolvane::hidraw {
namespace {

constexpr std::u16string_view kPathStart = u"\\\\?\\HID#";
constexpr std::string_view kNodePrefix = "hidraw";

void AppendHex4(std::u16string& out, std::uint16_t value) {
    constexpr std::u16string_view digits = u"0123456789ABCDEF";
    for (unsigned shift = 16; shift != 0;) {
        shift -= 4;
        out.push_back(digits[(unsigned{value} >> shift) & 0xFu]);
    }
}

char16_t FoldCase(char16_t c) {
    return (c >= u'a' && c <= u'z') ? static_cast<char16_t>(c - u'a' + u'A') : c;
}

}  // namespace

bool IsHidrawNodeName(std::string_view name) {
    if (!name.starts_with(kNodePrefix) || name.size() == kNodePrefix.size()) {
        return false;
    }
    const std::string_view number = name.substr(kNodePrefix.size());
    return std::all_of(number.begin(), number.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::u16string InterfacePathFor(std::uint16_t vendorId, std::uint16_t productId,
                                std::string_view nodeName) {
    std::u16string path(kPathStart);
    path += u"VID_";
    AppendHex4(path, vendorId);
    path += u"&PID_";
    AppendHex4(path, productId);
    path += u'#';
    for (const char c : nodeName) {
        path.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
    return path;
}

std::optional<std::string> NodeNameFromInterfacePath(std::u16string_view path) {
    if (path.size() < kPathStart.size() ||
        !std::equal(kPathStart.begin(), kPathStart.end(), path.begin(),
                    [](char16_t a, char16_t b) { return FoldCase(a) == FoldCase(b); })) {
        return std::nullopt;
    }
    const std::size_t hash = path.rfind(u'#');
    std::string name;
    for (const char16_t c : path.substr(hash + 1)) {
        if (c > 0x7F) {
            return std::nullopt;
        }
        name.push_back(static_cast<char>(c));
    }
    if (!IsHidrawNodeName(name)) {
        return std::nullopt;
    }
    return name;
}

std::string DeviceNodeFor(std::string_view nodeName) {
    std::string node = "/dev/";
    node += nodeName;
    return node;
}

}  // namespace tolvane::hidraw
