// One errno table, two readings: a file's failure and a device node's differ where the tool and
// the backends rely on it (a missing image is "file not found", a vanished interface "device not
// connected").
#include "errno_errors.h"

#include <gtest/gtest.h>

#include <cerrno>

namespace tolvane {
namespace {

struct Reading {
    int error;
    SysError asFile;
    SysError asDevice;
};

TEST(ErrnoErrors, FileAndDeviceReadingsOfOneTable) {
    const Reading readings[] = {
        {0, kErrorGenFailure, 0},  // a failure never reads as success for a file
        {ENOENT, kErrorFileNotFound, kErrorDeviceNotConnected},
        {ENODEV, kErrorGenFailure, kErrorDeviceNotConnected},
        {ENOTDIR, kErrorPathNotFound, kErrorGenFailure},
        {EMFILE, kErrorTooManyOpenFiles, kErrorGenFailure},
        {EACCES, kErrorAccessDenied, kErrorAccessDenied},
        {EISDIR, kErrorAccessDenied, kErrorGenFailure},
        {EBADF, kErrorGenFailure, kErrorAccessDenied},
        {ENOMEM, kErrorNotEnoughMemory, kErrorOutOfMemory},
        {ENOSPC, kErrorDiskFull, kErrorGenFailure},
        {EIO, kErrorIoDevice, kErrorGenFailure},
        {ETIMEDOUT, kErrorGenFailure, kErrorTimeout},
        {EINVAL, kErrorGenFailure, kErrorInvalidParameter},
        {EPIPE, kErrorGenFailure, kErrorGenFailure},
        {EBUSY, kErrorGenFailure, kErrorGenFailure},
    };
    for (const Reading& reading : readings) {
        EXPECT_EQ(FileErrorFromErrno(reading.error), reading.asFile) << "errno " << reading.error;
        EXPECT_EQ(DeviceErrorFromErrno(reading.error), reading.asDevice)
            << "errno " << reading.error;
    }
}

}  // namespace
}  // namespace tolvane
