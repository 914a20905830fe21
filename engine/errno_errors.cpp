#include "errno_errors.h"

#include <cerrno>

namespace tolvane {
namespace {

struct ErrnoRow {
    int error;
    SysError asFile;
    SysError asDevice;
};

// kErrorGenFailure where an errno has no closer meaning for that kind of call.
constexpr ErrnoRow kRows[] = {
    {ENOENT, kErrorFileNotFound, kErrorDeviceNotConnected},
    {ENODEV, kErrorGenFailure, kErrorDeviceNotConnected},
    {ENXIO, kErrorGenFailure, kErrorDeviceNotConnected},
#ifdef ESHUTDOWN
    {ESHUTDOWN, kErrorGenFailure, kErrorDeviceNotConnected},
#endif
    {ENOTDIR, kErrorPathNotFound, kErrorGenFailure},
    {ENAMETOOLONG, kErrorPathNotFound, kErrorGenFailure},
    {EMFILE, kErrorTooManyOpenFiles, kErrorGenFailure},
    {ENFILE, kErrorTooManyOpenFiles, kErrorGenFailure},
    {EACCES, kErrorAccessDenied, kErrorAccessDenied},
    {EPERM, kErrorAccessDenied, kErrorAccessDenied},
    {EISDIR, kErrorAccessDenied, kErrorGenFailure},
    {EROFS, kErrorAccessDenied, kErrorGenFailure},
    {EBADF, kErrorGenFailure, kErrorAccessDenied},
    {ENOMEM, kErrorNotEnoughMemory, kErrorOutOfMemory},
    {ENOSPC, kErrorDiskFull, kErrorGenFailure},
    {EIO, kErrorIoDevice, kErrorGenFailure},
#ifdef ETIMEDOUT
    {ETIMEDOUT, kErrorGenFailure, kErrorTimeout},
#endif
    {EINVAL, kErrorGenFailure, kErrorInvalidParameter},
};

const ErrnoRow* RowOf(int error) noexcept {
    for (const ErrnoRow& row : kRows) {
        if (row.error == error) return &row;
    }
    return nullptr;
}

}  // namespace

SysError FileErrorFromErrno(int error) noexcept {
    const ErrnoRow* row = RowOf(error);
    return row != nullptr ? row->asFile : kErrorGenFailure;
}

SysError DeviceErrorFromErrno(int error) noexcept {
    if (error == 0) return 0;
    const ErrnoRow* row = RowOf(error);
    return row != nullptr ? row->asDevice : kErrorGenFailure;
}

}  // namespace tolvane
