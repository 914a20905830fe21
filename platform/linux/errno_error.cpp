#include "errno_error.h"

#include <cerrno>
#include <system_error>

namespace tolvane::hidraw {
namespace {

thread_local int lastFailureErrno = 0;

}  // namespace

SysError LastFailure() noexcept {
    const int native = errno;
    const SysError error = DeviceErrorFromErrno(native);
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
