#include "errno_error.h"

#include <cerrno>
#include <system_error>

namespace tolvane::hidraw {
namespace {

thread_local int lastFailureErrno = 0;

}  // namespace

SysError SysErrorFromErrno(int error) noexcept {
    switch (error) {
        case 0:
            return 0;
        case EACCES:
        case EPERM:
        case EBADF:
            return kErrorAccessDenied;
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case ESHUTDOWN:
            return kErrorDeviceNotConnected;
        case ETIMEDOUT:
            return kErrorTimeout;
        case EINVAL:
            return kErrorInvalidParameter;
        case ENOMEM:
            return kErrorOutOfMemory;
        default:
            return kErrorGenFailure;
    }
}

SysError LastFailure() noexcept {
    const int native = errno;
    const SysError error = SysErrorFromErrno(native);
    return NoteFailure(error != 0 ? error : kErrorGenFailure, native);
}

SysError NoteFailure(SysError error, int nativeError) noexcept {
    lastFailureErrno = nativeError;
    return error;
}

int LastFailureErrno() noexcept {
    return lastFailureErrno;
}

std::string LastFailureErrnoDetail() {
    const int native = lastFailureErrno;
    if (native == 0) {
        return {};
    }
    return "errno " + std::to_string(native) + " (" +
           std::error_code(native, std::generic_category()).message() + ")";
}

}  // namespace tolvane::hidraw
