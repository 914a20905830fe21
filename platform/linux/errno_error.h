// POSIX errno values as the Windows error numbers that the engine and its callers know.
#pragma once

#include "hid_bus.h"

#include <string>

namespace tolvane::hidraw {

// EACCES, EPERM and EBADF: access denied (5), the last because a descriptor that is held open can
// only be refused for its access mode (writing to a node opened read-only); ENOENT, ENODEV, ENXIO
// and ESHUTDOWN: device not connected (1167); ETIMEDOUT, which the kernel answers when a control
// transfer runs out of its time limit: time-out (1460); EINVAL: invalid parameter (87); ENOMEM:
// out of memory (14); 0 stays 0; anything else, EPIPE and EIO among them: general failure (31).
SysError SysErrorFromErrno(int error) noexcept;

// The error number of a call that has just failed, from errno; never 0, so that a failure cannot
// read as success even when the call left errno unset. The errno value is kept for this thread
// (see LastFailureErrno), since the mapping loses it.
SysError LastFailure() noexcept;

// Answers `error` for a failure whose cause is the errno value `nativeError` (0: none known),
// and keeps that value for this thread as LastFailure does.
SysError NoteFailure(SysError error, int nativeError) noexcept;

// The errno value behind the last failure this thread reported through LastFailure or
// NoteFailure; 0 when it had none or no failure was reported.
int LastFailureErrno() noexcept;

// "errno N (text)" for LastFailureErrno(); empty when it is 0.
std::string LastFailureErrnoDetail();

}  // namespace tolvane::hidraw
