// The whole tool behind main(): parses the command line, checks the image, runs the command on
// the real platform or the virtual target, and prints the outcome.
#pragma once

#include "tool/tool_platform.h"

#include <string>
#include <vector>

namespace tolvane::cli {

// `args` without the program name. The real bus and services are touched only when a command
// runs without --simulate, after the image has been read and checked. Returns the exit code.
int RunTool(const std::vector<std::string>& args, const ToolIo& io, const ToolPlatform& platform);

}  // namespace tolvane::cli
