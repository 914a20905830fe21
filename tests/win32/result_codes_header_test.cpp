// The C header's result codes are the engine's.
#include "dfu_constants.h"

namespace {
constexpr tolvane::ResultCode kEngineCodes[] = {
    tolvane::DFU_SUCCESS,         tolvane::DFU_ALREADY_IN_DFU,  tolvane::DFU_ERR_NOT_FOUND,
    tolvane::DFU_ERR_ENTER_DFU,   tolvane::DFU_ERR_RESET_TO_AP, tolvane::DFU_ERR_AP_TIMEOUT,
    tolvane::DFU_ERR_DFU_TIMEOUT, tolvane::DFU_ERR_VERIFY,
};
}  // namespace

// After the engine's names are read: the header's macros have the same names.
#include "tolvane.h"

static_assert(kEngineCodes[0] == DFU_SUCCESS);
static_assert(kEngineCodes[1] == DFU_ALREADY_IN_DFU);
static_assert(kEngineCodes[2] == DFU_ERR_NOT_FOUND);
static_assert(kEngineCodes[3] == DFU_ERR_ENTER_DFU);
static_assert(kEngineCodes[4] == DFU_ERR_RESET_TO_AP);
static_assert(kEngineCodes[5] == DFU_ERR_AP_TIMEOUT);
static_assert(kEngineCodes[6] == DFU_ERR_DFU_TIMEOUT);
static_assert(kEngineCodes[7] == DFU_ERR_VERIFY);
