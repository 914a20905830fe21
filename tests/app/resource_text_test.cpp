// Reading a UTF-16LE text resource within its size.
#include "resource_text.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

namespace vandrel {
namespace {

std::vector<std::uint8_t> Utf16Le(std::u16string_view text, bool terminated) {
    std::vector<std::uint8_t> bytes;
    for (char16_t unit : text) {
        bytes.push_back(static_cast<std::uint8_t>(unit & 0xFF));
        bytes.push_back(static_cast<std::uint8_t>(unit >> 8));
    }
    if (terminated) bytes.insert(bytes.end(), {0, 0});
    return bytes;
}

TEST(ResourceText, TerminatedTextOfTheShippedSize) {
    const auto bytes = Utf16Le(u"5C3B", true);
    ASSERT_EQ(bytes.size(), 10u);
    EXPECT_EQ(ResourceText(bytes.data(), bytes.size()), u"5C3B");
}

TEST(ResourceText, NonAsciiUnitsAreKept) {
    const auto bytes = Utf16Le(u"Gr\u00FC\u00DFe \U0001F600\r\nx", true);
    EXPECT_EQ(ResourceText(bytes.data(), bytes.size()), u"Gr\u00FC\u00DFe \U0001F600\r\nx");
}

TEST(ResourceText, ATextWithoutTerminatorEndsAtTheResourceSize) {
    // The bytes after the resource are not part of it: they must never be read.
    auto bytes = Utf16Le(u"Title", false);
    bytes.insert(bytes.end(), {'X', 0, 'Y', 0, 0, 0});
    EXPECT_EQ(ResourceText(bytes.data(), 10), u"Title");
}

TEST(ResourceText, TheFirstZeroUnitEndsTheText) {
    const auto bytes = Utf16Le(std::u16string_view(u"Exit\0Junk", 9), true);
    EXPECT_EQ(ResourceText(bytes.data(), bytes.size()), u"Exit");
}

TEST(ResourceText, MissingOrEmptyCountsAsEmpty) {
    EXPECT_EQ(ResourceText(nullptr, 0), u"");
    EXPECT_EQ(ResourceText(nullptr, 16), u"");
    const std::uint8_t zero[2] = {0, 0};
    EXPECT_EQ(ResourceText(zero, 2), u"");
    EXPECT_EQ(ResourceText(zero, 0), u"");
}

TEST(ResourceText, AnOddLastByteIsNotHalfAUnit) {
    const std::uint8_t bytes[] = {'O', 0, 'K', 0, '!'};
    EXPECT_EQ(ResourceText(bytes, sizeof bytes), u"OK");
}

TEST(ResourceText, UnalignedDataIsReadByteByByte) {
    std::vector<std::uint8_t> storage(1, 0xEE);
    const auto text = Utf16Le(u"HID Setting", true);
    storage.insert(storage.end(), text.begin(), text.end());
    EXPECT_EQ(ResourceText(storage.data() + 1, text.size()), u"HID Setting");
}

}  // namespace
}  // namespace vandrel
