#include "system_error_text.h"

#include "errno_error.h"

namespace tolvane::hidraw {

std::string SystemErrorTextFor(SysError error) {
    switch (error) {
        case 0:
            return "The operation completed successfully.";
        case kErrorInvalidFunction:
            return "Incorrect function.";
        case kErrorFileNotFound:
            return "The system cannot find the file specified.";
        case kErrorAccessDenied:
            return "Access is denied.";
        case kErrorInvalidHandle:
            return "The handle is invalid.";
        case kErrorOutOfMemory:
            return "Not enough memory resources are available to complete this operation.";
        case kErrorGenFailure:
            return "A device attached to the system is not functioning.";
        case kErrorInvalidParameter:
            return "The parameter is incorrect.";
        case kErrorInsufficientBuffer:
            return "The data area passed to a system call is too small.";
        case kErrorOperationAborted:
            return "The I/O operation has been aborted because of either a thread exit or an "
                   "application request.";
        case kErrorDeviceNotConnected:
            return "The device is not connected.";
        case kErrorTimeout:
            return "This operation returned because the timeout period expired.";
        case kErrorInvalidUserBuffer:
            return "The supplied user buffer is not valid for the requested operation.";
        default:
            return "System error " + std::to_string(error) + ".";
    }
}

}  // namespace tolvane::hidraw
