// The step of an update each recorded call belongs to, told from the calls themselves: the reports
// the engine sent and the identity of the device it sent them to.
#pragma once

#include "record_line.h"
#include "update_steps.h"

#include <string_view>
#include <vector>

namespace tolvane::record {

// The update's steps and their names are the engine's.
using tolvane::StepName;
using tolvane::StepTitle;
using tolvane::UpdateStep;

// The step of each line, in the order given. A reset sent to an application starts the entering;
// whatever follows it, the waiting; the first command to a boot loader, the download; a query
// after the setup, the verification; a reset sent to a boot loader, the return.
std::vector<UpdateStep> StepsOf(const std::vector<RecordLine>& lines);

}  // namespace tolvane::record
