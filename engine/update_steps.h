// The steps of an update, named once for every part that tells them apart: the update sequence
// runs the three device steps (EnterBootLoader, Download, ResetToApplication) and tells their
// observers; a recording's reader also tells the finding before them, the wait for the boot
// loader and the verification after the data; the tool's interrupt report and phase clock name
// the step under way. In the order an update takes them.
#pragma once

#include <string_view>

namespace tolvane {

enum class UpdateStep {
    Finding,             // looking for the device: lists, opens, identities
    EnterBootLoader,     // the reset to the boot loader sent to the application
    Waiting,             // until the boot loader is there to be written
    Download,            // the start query, the setup and the data reports
    Verification,        // the finishing query and the checksum the boot loader reports
    ResetToApplication,  // the reset to the application, and the wait for the boot loader to leave
};

// "entering_boot_loader": the name in JSON and in recordings' summaries.
std::string_view StepName(UpdateStep step);
// "entering the boot loader": the name in a timeline.
std::string_view StepTitle(UpdateStep step);

}  // namespace tolvane
