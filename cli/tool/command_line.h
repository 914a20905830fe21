// Parsing and checking the command line.
#pragma once

#include "options/options.h"

#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

struct ParsedCommandLine {
    std::optional<Options> options;  // set when the tool is to run
    int exitCode = 0;      // when not: 0 after --help or --version, 64 after a usage error
    std::string out;       // help or version text
    std::string err;       // the usage error as printed, with a hint
    std::string message;   // the usage error alone
    bool version = false;  // --version was asked for
    // Known even when the line is refused, so that a refusal can still be told in JSON.
    bool json = false;    // --json is on the line
    std::string command;  // the command the line names, empty when none
};

// `args` holds the arguments without the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace tolvane::cli
