#include "hidraw_path.h"

#include "text.h"

#include <algorithm>
#include <charconv>

namespace tolvane::hidraw {
namespace {

constexpr std::u16string_view kPathStart = u"\\\\?\\HID#";
constexpr std::string_view kNodePrefix = "hidraw";
constexpr std::string_view kCollectionMark = "&COL";
constexpr std::uint32_t kMaxCollection = 255;

void AppendHex4(std::u16string& out, std::uint16_t value) {
    constexpr std::u16string_view digits = u"0123456789ABCDEF";
    for (unsigned shift = 16; shift != 0;) {
        shift -= 4;
        out.push_back(digits[(unsigned{value} >> shift) & 0xFu]);
    }
}

void AppendAscii(std::u16string& out, std::string_view text) {
    for (const char c : text) {
        out.push_back(static_cast<char16_t>(static_cast<unsigned char>(c)));
    }
}

bool AllDigits(std::string_view text) {
    return !text.empty() &&
           std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

}  // namespace

bool IsHidrawNodeName(std::string_view name) {
    return name.starts_with(kNodePrefix) && AllDigits(name.substr(kNodePrefix.size()));
}

std::u16string InterfacePathFor(std::uint16_t vendorId, std::uint16_t productId,
                                std::string_view nodeName, std::uint32_t collection) {
    std::u16string path(kPathStart);
    path += u"VID_";
    AppendHex4(path, vendorId);
    path += u"&PID_";
    AppendHex4(path, productId);
    path += u'#';
    AppendAscii(path, nodeName);
    if (collection != 0) {
        AppendAscii(path, kCollectionMark);
        if (collection < 10) {
            path += u'0';
        }
        AppendAscii(path, std::to_string(collection));
    }
    return path;
}

std::optional<InterfaceLocation> LocationFromInterfacePath(std::u16string_view path) {
    if (!StartsWithIgnoringAsciiCase(path, kPathStart)) {
        return std::nullopt;
    }
    const std::size_t hash = path.rfind(u'#');
    std::string last;
    for (const char16_t c : path.substr(hash + 1)) {
        if (c > 0x7F) {
            return std::nullopt;
        }
        last.push_back(static_cast<char>(AsciiUpper(c)));
    }
    InterfaceLocation location;
    const std::size_t mark = last.find(kCollectionMark);
    if (mark != std::string::npos) {
        const std::string_view number =
            std::string_view(last).substr(mark + kCollectionMark.size());
        std::uint32_t collection = 0;
        const auto [end, error] =
            std::from_chars(number.data(), number.data() + number.size(), collection);
        if (!AllDigits(number) || error != std::errc{} || collection == 0 ||
            collection > kMaxCollection) {
            return std::nullopt;
        }
        location.collection = collection;
        last.resize(mark);
    }
    // The node name was folded to upper case with the rest; hidraw names are lower case.
    std::transform(last.begin(), last.end(), last.begin(), AsciiLower<char>);
    if (!IsHidrawNodeName(last)) {
        return std::nullopt;
    }
    location.nodeName = std::move(last);
    return location;
}

std::optional<std::string> NodeNameFromInterfacePath(std::u16string_view path) {
    auto location = LocationFromInterfacePath(path);
    if (!location) {
        return std::nullopt;
    }
    return std::move(location->nodeName);
}

std::string DeviceNodeFor(std::string_view nodeName) {
    std::string node = "/dev/";
    node += nodeName;
    return node;
}

}  // namespace tolvane::hidraw
