#include "system_errors.h"

#include <cerrno>

namespace tolvane::cli {

std::uint32_t SysErrorFromErrno(int error) {
    switch (error) {
        case ENOENT:
            return 2;  // ERROR_FILE_NOT_FOUND
        case ENOTDIR:
        case ENAMETOOLONG:
            return 3;  // ERROR_PATH_NOT_FOUND
        case EMFILE:
        case ENFILE:
            return 4;  // ERROR_TOO_MANY_OPEN_FILES
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return 5;  // ERROR_ACCESS_DENIED
        case ENOMEM:
            return 8;  // ERROR_NOT_ENOUGH_MEMORY
        case ENOSPC:
            return 112;  // ERROR_DISK_FULL
        case EIO:
            return 1117;  // ERROR_IO_DEVICE
        default:
            return 31;  // ERROR_GEN_FAILURE
    }
}

}  // namespace tolvane::cli
