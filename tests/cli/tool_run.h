// What one run of the tool gave back, and a run with its output captured.
#pragma once

#include "tool/tool.h"

#include <sstream>
#include <string>
#include <vector>

namespace tolvane::cli {

struct ToolRun {
    int exitCode = -1;
    std::string out;
    std::string err;
};

// Runs the tool with standard output and error captured, neither of them a terminal.
inline ToolRun RunCaptured(const std::vector<std::string>& args, const ToolPlatform& platform) {
    std::ostringstream out, err;
    const ToolIo io{out, err, false, false};
    ToolRun result;
    result.exitCode = RunTool(args, io, platform);
    result.out = out.str();
    result.err = err.str();
    return result;
}

}  // namespace tolvane::cli
