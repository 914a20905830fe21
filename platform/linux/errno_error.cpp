#include "errno_error.h"

#include <cerrno>

namespace tolvane::hidraw {

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
        case EINVAL:
            return kErrorInvalidParameter;
        case ENOMEM:
            return kErrorOutOfMemory;
        default:
            return kErrorGenFailure;
    }
}

SysError LastFailure() noexcept {
    const SysError error = SysErrorFromErrno(errno);
    return error != 0 ? error : kErrorGenFailure;
}

}  // namespace tolvane::hidraw
