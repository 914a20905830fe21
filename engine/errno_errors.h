// The system error numbers (sys_error.h) of C library and POSIX errno values, in one table. The
// same errno means different things for a file and for a device node: ENOENT is "file not found"
// (2) for an image or a log, but "device not connected" (1167) for an interface that has gone.
#pragma once

#include "sys_error.h"

namespace tolvane {

// For a failed call on a file or folder: ENOENT 2; ENOTDIR and ENAMETOOLONG 3; EMFILE and ENFILE
// 4; EACCES, EPERM, EISDIR and EROFS 5; ENOMEM 8; ENOSPC 112; EIO 1117; anything else, 0 among
// them, general failure (31).
SysError FileErrorFromErrno(int error) noexcept;

// For a failed call on a device node: EACCES, EPERM and EBADF 5 (a descriptor held open can only
// be refused for its access mode); ENOENT, ENODEV, ENXIO and ESHUTDOWN 1167; ETIMEDOUT, which
// the kernel answers when a control transfer runs out of its time limit, 1460; EINVAL 87; ENOMEM
// 14; 0 stays 0; anything else, EPIPE and EIO among them, general failure (31).
SysError DeviceErrorFromErrno(int error) noexcept;

}  // namespace tolvane
