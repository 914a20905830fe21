// The hidden window's in-memory dialog template, byte for byte.
#include "notify_dialog_template.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdint>

namespace tolvane::win32 {
namespace {

// The library's template: a 60 by 14 button.
constexpr std::array<std::uint8_t, kNotifyDialogTemplateSize> kLibraryTemplate = {
    // DLGTEMPLATE (bytes 0 to 17)
    0x80, 0x00, 0xC8, 0x00,  // style: DS_MODALFRAME | WS_CAPTION | WS_SYSMENU, no WS_VISIBLE
    0x00, 0x00, 0x00, 0x00,  // extended style
    0x01, 0x00,              // one item
    0x0A, 0x00, 0x0A, 0x00,  // x 10, y 10
    0x64, 0x00, 0x64, 0x00,  // cx 100, cy 100
    0x00, 0x00,              // no menu
    0x00, 0x00,              // the system's dialog class
    // title "Dummy Dialog" and its terminator (bytes 22 to 47)
    'D', 0, 'u', 0, 'm', 0, 'm', 0, 'y', 0, ' ', 0, 'D', 0, 'i', 0, 'a', 0, 'l', 0, 'o', 0, 'g', 0,
    0, 0,
    // DLGITEMTEMPLATE of the button (bytes 48 to 65, already 4-byte aligned)
    0x01, 0x00, 0x00, 0x50,  // style: WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON
    0x00, 0x00, 0x00, 0x00,  // extended style
    0x0A, 0x00, 0x46, 0x00,  // x 10, y 70
    0x3C, 0x00, 0x0E, 0x00,  // cx 60, cy 14
    0x01, 0x00,              // identifier IDOK
    0xFF, 0xFF, 0x80, 0x00,  // predefined button class
    'O', 0, 'K', 0, 0, 0,    // text "OK" and its terminator
    0x00, 0x00,              // no creation data
};

TEST(NotifyDialogTemplate, LibraryTemplateIsTheDocumented78BytesInAZeroFilledBuffer) {
    const std::vector<std::uint8_t> buffer = BuildNotifyDialogTemplate(NotifyWindowSpec{60, 14});
    ASSERT_EQ(buffer.size(), kNotifyDialogBufferSize);
    for (std::size_t i = 0; i < kLibraryTemplate.size(); ++i) {
        EXPECT_EQ(buffer[i], kLibraryTemplate[i]) << "byte " << i;
    }
    EXPECT_TRUE(std::all_of(buffer.begin() + kNotifyDialogTemplateSize, buffer.end(),
                            [](std::uint8_t byte) { return byte == 0; }));
}

TEST(NotifyDialogTemplate, ProgramTemplateDiffersOnlyInTheButtonSize) {
    const std::vector<std::uint8_t> buffer = BuildNotifyDialogTemplate(NotifyWindowSpec{80, 20});
    std::array<std::uint8_t, kNotifyDialogTemplateSize> expected = kLibraryTemplate;
    expected[60] = 80;  // cx
    expected[62] = 20;  // cy
    for (std::size_t i = 0; i < expected.size(); ++i) {
        EXPECT_EQ(buffer[i], expected[i]) << "byte " << i;
    }
}

}  // namespace
}  // namespace tolvane::win32
