// The tool's exit codes, one per outcome a script may want to tell apart.
#pragma once

#include "dfu_constants.h"

namespace tolvane::cli {

enum ExitCode : int {
    kExitSuccess = 0,
    kExitNotFound = 1,             // DFU_ERR_NOT_FOUND
    kExitEnterDfu = 2,             // DFU_ERR_ENTER_DFU
    kExitResetToAp = 3,            // DFU_ERR_RESET_TO_AP
    kExitApTimeout = 4,            // DFU_ERR_AP_TIMEOUT
    kExitDfuTimeout = 5,           // DFU_ERR_DFU_TIMEOUT
    kExitVerify = 6,               // DFU_ERR_VERIFY
    kExitSystemError = 7,          // a system error number
    kExitSeveralDevices = 8,       // several devices match and none was chosen
    kExitReplayMismatch = 9,       // --replay: the run asked what the recording does not hold
    kExitVersionNotUpdated = 10,   // --image-version: the returning application runs another
    kExitSignature = 11,           // a package's signature is missing, does not hold, or untrusted
    kExitWrongDevice = 12,         // the package is not for this device
    kExitVersionRefused = 13,      // the package is older than, or the same as, the device's
    kExitApplicationNotBack = 14,  // the image was accepted, but no application came back
    kExitUsage = 64,               // bad command line
    kExitBadImage = 65,            // the image file's content is refused
    kExitUnreadable = 66,          // the image file cannot be read
    kExitOutputFailed = 74,        // the outcome or a station log line could not be written (or the
                                   // udev rules installed)
    kExitDeviceBusy = 75,          // another tool process is updating the device
    kExitNeedsRoot = 77,           // install-udev-rules without root rights
    kExitInterrupted = 130,        // ended by an interrupt
};

// The exit code for an engine result; DFU_ALREADY_IN_DFU counts as success.
int ExitCodeFor(ResultCode code) noexcept;

// The table printed at the end of --help.
const char* ExitCodeHelp() noexcept;

}  // namespace tolvane::cli
