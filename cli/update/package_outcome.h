// What an update from a firmware package adds to the run's report: the version refusal's fields,
// or the warning that the device's version could not be compared with the package's.
#pragma once

#include "options/options.h"
#include "output/run_report.h"
#include "update/engine_command.h"

#include <ostream>

namespace tolvane::cli {

// After an update from a package: the version refusal's fields, or the warning that the
// version could not be compared.
void AddPackageOutcome(RunReport& report, const CommandOutcome& outcome, const Options& options,
                       std::ostream& err);

}  // namespace tolvane::cli
