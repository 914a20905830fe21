// Parsing and checking the command line.
#pragma once

#include "options.h"

#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

struct ParsedCommandLine {
    std::optional<Options> options;  // set when the tool is to run
    int exitCode = 0;                // when not: 0 after --help, 64 after a usage error
    std::string out;                 // help text
    std::string err;                 // the usage error
};

// `args` holds the arguments without the program name.
ParsedCommandLine ParseCommandLine(const std::vector<std::string>& args);

}  // namespace tolvane::cli
