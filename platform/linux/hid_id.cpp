#include "hid_id.h"

#include <array>
#include <charconv>

namespace tolvane::hidraw {
namespace {

std::optional<std::uint16_t> ParseHexField(std::string_view field) {
    if (field.empty() || field.size() > 8) {
        return std::nullopt;
    }
    std::uint32_t value = 0;
    const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value, 16);
    if (error != std::errc{} || end != field.data() + field.size() || value > 0xFFFF) {
        return std::nullopt;
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

std::optional<HidId> ParseHidId(std::string_view text) {
    std::array<std::uint16_t, 3> fields{};
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t colon = text.find(':');
        const bool last = i + 1 == fields.size();
        if (last != (colon == std::string_view::npos)) {
            return std::nullopt;
        }
        const auto value = ParseHexField(text.substr(0, colon));
        if (!value) {
            return std::nullopt;
        }
        fields[i] = *value;
        text = last ? std::string_view{} : text.substr(colon + 1);
    }
    return HidId{fields[0], fields[1], fields[2]};
}

}  // namespace tolvane::hidraw
