#include "interface_path.h"

#include "text.h"

#include <cstdio>

namespace tolvane::sim {

namespace {

std::u16string Widen(const char* text) {
    std::u16string out;
    for (; *text != '\0'; ++text) out.push_back(static_cast<char16_t>(*text));
    return out;
}

}  // namespace

std::u16string MakeInterfacePath(std::uint16_t vendorId, std::uint16_t productId,
                                 std::u16string_view collectionSuffix, std::uint32_t instance,
                                 std::uint32_t index) {
    char head[32];
    std::snprintf(head, sizeof head, "\\\\?\\hid#vid_%04x&pid_%04x",
                  static_cast<unsigned>(vendorId), static_cast<unsigned>(productId));
    char tail[64];
    std::snprintf(tail, sizeof tail, "#6&%08x&0&%04u#{4d1e55b2-f16f-11cf-88cb-001111000030}",
                  static_cast<unsigned>(instance), static_cast<unsigned>(index % 10000));
    return Widen(head) + std::u16string(collectionSuffix) + Widen(tail);
}

bool SamePath(std::u16string_view a, std::u16string_view b) {
    return EqualIgnoringAsciiCase(a, b);
}

std::u16string LowerCasePath(std::u16string_view path) {
    std::u16string lower(path);
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return lower;
}

}  // namespace tolvane::sim
