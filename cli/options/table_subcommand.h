// A subcommand of the command line named and described by its row of the command table, so that
// --help shows each command as the table has it.
#pragma once

#include "options/options.h"

#include <CLI/CLI.hpp>

namespace tolvane::cli {

// Adds `command` to `parent` under the last word of its name ("teach" of "slots teach").
CLI::App* AddTableSubcommand(CLI::App& parent, Command command);

}  // namespace tolvane::cli
