// The error number of a Windows call that just failed.
#pragma once

#include "hid_bus.h"
#include "win32_api.h"

namespace tolvane::win32 {

// GetLastError, read right after the failed call; a failure that left no error number answers
// kErrorGenFailure so that it never reads as success.
inline SysError LastFailure() noexcept {
    const DWORD error = GetLastError();
    return error != 0 ? error : kErrorGenFailure;
}

}  // namespace tolvane::win32
