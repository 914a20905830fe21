// Why a device that may well be there was not reached: interfaces the system would not open.
#pragma once

#include "buses/tracking_hid_bus.h"
#include "dfu_constants.h"
#include "hid_bus.h"

#include <functional>
#include <string>
#include <vector>

namespace tolvane::cli {

// Lines that explain a failed search (DFU_ERR_NOT_FOUND while some interfaces could not be
// opened) or a failure of a device that could be opened only for queries (its read-write open
// refused with access denied, 5, which is also what its reports then fail with), and name the
// fix; none for other outcomes.
std::vector<std::string> AccessHint(ResultCode code, const OpenFailures& failures,
                                    const std::function<std::string(SysError)>& errorText);

}  // namespace tolvane::cli
