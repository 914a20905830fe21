#include "resource_text.h"

#include <cstdint>

namespace vandrel {

std::u16string ResourceText(const void* data, std::size_t size) {
    std::u16string text;
    if (data == nullptr) return text;
    // Resource data need not be aligned for char16_t: assemble each little-endian unit by bytes.
    const auto* bytes = static_cast<const std::uint8_t*>(data);
    for (std::size_t i = 0; i + 1 < size; i += 2) {
        const auto unit = static_cast<char16_t>(bytes[i] | (bytes[i + 1] << 8));
        if (unit == 0) break;
        text.push_back(unit);
    }
    return text;
}

}  // namespace vandrel
