#include "dfu_constants.h"

namespace tolvane {

const char* ResultCodeName(ResultCode code) noexcept {
    switch (code) {
        case DFU_SUCCESS:
            return "DFU_SUCCESS";
        case DFU_ALREADY_IN_DFU:
            return "DFU_ALREADY_IN_DFU";
        case DFU_ERR_NOT_FOUND:
            return "DFU_ERR_NOT_FOUND";
        case DFU_ERR_ENTER_DFU:
            return "DFU_ERR_ENTER_DFU";
        case DFU_ERR_RESET_TO_AP:
            return "DFU_ERR_RESET_TO_AP";
        case DFU_ERR_AP_TIMEOUT:
            return "DFU_ERR_AP_TIMEOUT";
        case DFU_ERR_DFU_TIMEOUT:
            return "DFU_ERR_DFU_TIMEOUT";
        case DFU_ERR_VERIFY:
            return "DFU_ERR_VERIFY";
        default:
            return nullptr;
    }
}

}  // namespace tolvane
