// The command-line options of a production line: --image-version and --skip-current on update and
// station, --slots for every command, the report and slots teach commands, and the virtual
// target's --sim-version and --sim-version-after.
#pragma once

#include "options/options.h"

#include <CLI/CLI.hpp>

#include <optional>
#include <string>

namespace tolvane::cli {

// The version texts, read once CLI11 has parsed the line.
struct VersionTexts {
    std::optional<std::string> image, sim, simAfter;
};

void AddVersionOptions(CLI::App& command, Options& options, VersionTexts& texts);
void AddSlotsOption(CLI::App& app, Options& options);
void AddSimulatedVersionOptions(CLI::App& app, VersionTexts& texts, const std::string& group);

struct ProductionCommands {
    CLI::App* report = nullptr;
    CLI::App* slots = nullptr;
    CLI::App* teach = nullptr;
};
ProductionCommands AddProductionCommands(CLI::App& app, Options& options);

// Fills the versions in; throws StationUsageError for a malformed version or a combination that
// cannot work.
void CheckProductionOptions(Options& options, const VersionTexts& texts);

}  // namespace tolvane::cli
