#include "result_message.h"

#include <cstdio>

namespace tolvane {

namespace {

std::u16string Widen(const char* text) {
    std::u16string wide;
    for (; *text != '\0'; ++text) {
        wide.push_back(static_cast<char16_t>(static_cast<unsigned char>(*text)));
    }
    return wide;
}

}  // namespace

ResultMessage ResultMessageFor(ResultCode code, std::uint32_t vid, std::uint32_t pid) {
    char text[260] = {};
    switch (code) {
        case DFU_SUCCESS:
            return {u"F/W update successfully !", kIconInformation};
        case DFU_ERR_NOT_FOUND:
            std::snprintf(text, sizeof text, "Device (VID=0x%04X/PID=0x%04X) not found !", vid,
                          pid);
            return {Widen(text), kIconWarning};
        case DFU_ERR_ENTER_DFU:
            return {u"Reset to DFU command fail !", kIconWarning};
        case DFU_ERR_RESET_TO_AP:
            return {u"DFU reset to application command fail !", kIconWarning};
        case DFU_ERR_DFU_TIMEOUT:
            return {u"Search DFU(VID=0x5C3B, PID=0x030B) timeout fail !", kIconWarning};
        case DFU_ERR_VERIFY:
            return {u"DFU update / verify / checksum fail !", kIconWarning};
        default:
            std::snprintf(text, sizeof text, "Error code: %lu", static_cast<unsigned long>(code));
            return {Widen(text), kIconError};
    }
}

std::string ToUtf8(std::u16string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        std::uint32_t c = text[i];
        if (c >= 0xD800 && c < 0xDC00 && i + 1 < text.size() && text[i + 1] >= 0xDC00 &&
            text[i + 1] < 0xE000) {
            c = 0x10000 + ((c - 0xD800) << 10) + (text[++i] - 0xDC00U);
        }
        if (c < 0x80) {
            out.push_back(static_cast<char>(c));
        } else if (c < 0x800) {
            out.push_back(static_cast<char>(0xC0 | (c >> 6)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(static_cast<char>(0xE0 | (c >> 12)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        } else {
            out.push_back(static_cast<char>(0xF0 | (c >> 18)));
            out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
        }
    }
    return out;
}

}  // namespace tolvane
