// The step of an update each recorded call belongs to, told from the calls themselves: the reports
// the engine sent and the identity of the device it sent them to.
#pragma once

#include "record_line.h"

#include <string_view>
#include <vector>

namespace tolvane::record {

enum class UpdateStep {
    Finding,             // looking for the device: lists, opens, identities
    EnteringBootLoader,  // the reset to the boot loader sent to the application
    Waiting,             // until the boot loader is there to be written
    Download,            // the start query, the setup and the data reports
    Verification,        // the finishing query and the checksum the boot loader reports
    Return,              // the reset to the application, and the wait for the boot loader to leave
};

// "entering_boot_loader": the name in JSON.
std::string_view StepName(UpdateStep step);
// "entering the boot loader": the name in a timeline.
std::string_view StepTitle(UpdateStep step);

// The step of each line, in the order given. A reset sent to an application starts the entering;
// whatever follows it, the waiting; the first command to a boot loader, the download; a query
// after the setup, the verification; a reset sent to a boot loader, the return.
std::vector<UpdateStep> StepsOf(const std::vector<RecordLine>& lines);

}  // namespace tolvane::record
