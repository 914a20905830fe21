// The command-line options for several devices at once: --port, --all, the station command's
// --log and --count, and the virtual bench's --sim-devices, --sim-fault-device and
// --sim-arrival-interval.
#pragma once

#include "options/options.h"

#include <CLI/CLI.hpp>

#include <string>

namespace tolvane::cli {

void AddPortOption(CLI::App& command, Options& options);
void AddAllOption(CLI::App& update, Options& options);
void AddStationOptions(CLI::App& station, Options& options);
void AddStationSimulationOptions(CLI::App& app, SimulationOptions& sim, const std::string& group);

// Throws StationUsageError for combinations that cannot work.
void CheckStationOptions(const Options& options);

struct StationUsageError {
    std::string message;
};

}  // namespace tolvane::cli
