// The error number of a failed call on a device node, with the errno value behind it kept for
// this thread (DeviceErrorFromErrno maps the value).
#pragma once

#include "errno_errors.h"
#include "hid_bus.h"

#include <string>

namespace tolvane::hidraw {

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
