// POSIX errno values as the Windows error numbers that the engine and its callers know.
#pragma once

#include "hid_bus.h"

namespace tolvane::hidraw {

inline constexpr SysError kErrorFileNotFound = 2;  // ERROR_FILE_NOT_FOUND

// EACCES, EPERM and EBADF: access denied (5), the last because a descriptor that is held open can
// only be refused for its access mode (writing to a node opened read-only); ENOENT, ENODEV, ENXIO
// and ESHUTDOWN: device not connected (1167); EINVAL: invalid parameter (87); ENOMEM: out of
// memory (14); 0 stays 0; anything else, EPIPE and EIO among them: general failure (31).
SysError SysErrorFromErrno(int error) noexcept;

// The error number of a call that has just failed, from errno; never 0, so that a failure cannot
// read as success even when the call left errno unset.
SysError LastFailure() noexcept;

}  // namespace tolvane::hidraw
