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

}  // namespace tolvane
