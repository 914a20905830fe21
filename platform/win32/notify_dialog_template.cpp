#include "notify_dialog_template.h"

#include <string_view>

namespace tolvane::win32 {
namespace {

constexpr std::uint32_t kDialogStyle = 0x00C80080;  // DS_MODALFRAME | WS_CAPTION | WS_SYSMENU
constexpr std::uint32_t kButtonStyle = 0x50000001;  // WS_CHILD | WS_VISIBLE | BS_DEFPUSHBUTTON
constexpr std::uint16_t kIdOk = 1;
constexpr std::uint16_t kButtonClassAtom = 0x0080;
constexpr std::u16string_view kTitle = u"Dummy Dialog";
constexpr std::u16string_view kButtonText = u"OK";

// Writes little-endian words into the buffer from a running offset.
class TemplateWriter {
public:
    explicit TemplateWriter(std::vector<std::uint8_t>& buffer) : buffer_(buffer) {}

    void word(std::uint16_t value) {
        buffer_[offset_++] = static_cast<std::uint8_t>(value & 0xFF);
        buffer_[offset_++] = static_cast<std::uint8_t>(value >> 8);
    }
    void dword(std::uint32_t value) {
        word(static_cast<std::uint16_t>(value & 0xFFFF));
        word(static_cast<std::uint16_t>(value >> 16));
    }
    void text(std::u16string_view value) {
        for (const char16_t unit : value) {
            word(static_cast<std::uint16_t>(unit));
        }
        word(0);
    }
    void alignToDword() { offset_ = (offset_ + 3) & ~std::size_t{3}; }
    std::size_t offset() const { return offset_; }

private:
    std::vector<std::uint8_t>& buffer_;
    std::size_t offset_ = 0;
};

}  // namespace

std::vector<std::uint8_t> BuildNotifyDialogTemplate(const NotifyWindowSpec& config) {
    std::vector<std::uint8_t> buffer(kNotifyDialogBufferSize, 0);
    TemplateWriter out(buffer);

    // DLGTEMPLATE: style, extended style, item count, x, y, cx, cy.
    out.dword(kDialogStyle);
    out.dword(0);
    out.word(1);
    out.word(10);
    out.word(10);
    out.word(100);
    out.word(100);
    out.word(0);  // no menu
    out.word(0);  // the system's dialog class
    out.text(kTitle);

    // DLGITEMTEMPLATE of the OK button, on a 4-byte boundary (byte 48).
    out.alignToDword();
    out.dword(kButtonStyle);
    out.dword(0);
    out.word(10);
    out.word(70);
    out.word(config.buttonWidth);
    out.word(config.buttonHeight);
    out.word(kIdOk);
    out.word(0xFFFF);  // predefined class follows as an atom
    out.word(kButtonClassAtom);
    out.text(kButtonText);
    out.word(0);  // no creation data
    return buffer;
}

}  // namespace tolvane::win32
