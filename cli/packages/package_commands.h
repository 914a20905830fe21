// tolvane pack, sign and verify: making and checking firmware packages, offline, with no device.
#pragma once

#include "options/options.h"
#include "output/run_report.h"

#include <CLI/CLI.hpp>

#include <ostream>
#include <string>
#include <vector>

namespace tolvane::cli {

// Whether the command line names pack, sign or verify.
bool IsPackageCommand(const std::vector<std::string>& args);

// Runs pack, sign or verify; returns the exit code.
int RunPackageCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The three commands on the tool's own command line, so that --help lists them.
void AddPackageCommandsForHelp(CLI::App& app);

}  // namespace tolvane::cli
