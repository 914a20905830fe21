// The package options of update and station on the command line.
#pragma once

#include "options/options.h"

#include <CLI/CLI.hpp>

namespace tolvane::cli {

void AddPackageOptions(CLI::App& command, Options& options);
// station only: development keys are refused there unless allowed.
void AddDevKeyOption(CLI::App& command, Options& options);

}  // namespace tolvane::cli
