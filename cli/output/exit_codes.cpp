#include "output/exit_codes.h"

namespace tolvane::cli {

int ExitCodeFor(ResultCode code) noexcept {
    switch (code) {
        case DFU_SUCCESS:
        case DFU_ALREADY_IN_DFU:
            return kExitSuccess;
        case DFU_ERR_NOT_FOUND:
            return kExitNotFound;
        case DFU_ERR_ENTER_DFU:
            return kExitEnterDfu;
        case DFU_ERR_RESET_TO_AP:
            return kExitResetToAp;
        case DFU_ERR_AP_TIMEOUT:
            return kExitApTimeout;
        case DFU_ERR_DFU_TIMEOUT:
            return kExitDfuTimeout;
        case DFU_ERR_VERIFY:
            return kExitVerify;
        default:
            return kExitSystemError;
    }
}

const char* ExitCodeHelp() noexcept {
    return "Exit codes:\n"
           "   0  success\n"
           "   1  no device, or no boot loader (DFU_ERR_NOT_FOUND)\n"
           "   2  the device refused the reset to its boot loader (DFU_ERR_ENTER_DFU)\n"
           "   3  the boot loader refused the reset to the application (DFU_ERR_RESET_TO_AP)\n"
           "   4  the boot loader did not leave within 30 s (DFU_ERR_AP_TIMEOUT)\n"
           "   5  the boot loader did not appear within 30 s (DFU_ERR_DFU_TIMEOUT)\n"
           "   6  the checksum the boot loader reports differs (DFU_ERR_VERIFY)\n"
           "   7  system error (its number and a short text are printed)\n"
           "   8  several devices match: choose one with --port, or use --all\n"
           "   9  --replay: the run differs from the recording (the call is named)\n"
           "  10  device version not updated: the checksum was confirmed, but the application\n"
           "      that came back does not report --image-version\n"
           "  11  package signature missing, not holding, or by a key not trusted\n"
           "  12  the package is not for this device (nothing was sent)\n"
           "  13  the package is older than, or the same version as, the device's\n"
           "      (nothing was sent)\n"
           "  14  the image was accepted, but the application did not come back within 30 s\n"
           "  64  bad usage\n"
           "  65  bad image, or a malformed package (the fault is named)\n"
           "  66  image cannot be read (missing, unreadable, or not a regular file)\n"
           "  74  the outcome could not be written to standard output (the update itself\n"
           "      succeeded), a station's --log line could not be written, or\n"
           "      install-udev-rules could not install the rules or reload udev\n"
           "  75  another tolvane process is updating the device (nothing was sent to it)\n"
           "  77  install-udev-rules without root rights\n"
           " 130  interrupted (Ctrl-C): before anything was sent to the device, or by the third\n"
           "      interrupt while it was being written\n";
}

}  // namespace tolvane::cli
