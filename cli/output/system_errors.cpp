#include "output/system_errors.h"

#include <cerrno>

namespace tolvane::cli {

SysError SysErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return kErrorFileNotFound;
        case ENOTDIR:
        case ENAMETOOLONG:
            return kErrorPathNotFound;
        case EMFILE:
        case ENFILE:
            return kErrorTooManyOpenFiles;
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return kErrorAccessDenied;
        case ENOMEM:
            return kErrorNotEnoughMemory;
        case ENOSPC:
            return kErrorDiskFull;
        case EIO:
            return kErrorIoDevice;
        default:
            return kErrorGenFailure;
    }
}

}  // namespace tolvane::cli
