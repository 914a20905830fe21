// Runs another program and waits for it.
#pragma once

#include <string>
#include <vector>

namespace tolvane::cli {

// `argv[0]` is looked up in PATH. The program starts with the signals the tool blocks or ignores
// back at their defaults. Returns its exit status, or -1 with `error` when it could not start or
// did not exit normally.
int RunProgram(const std::vector<std::string>& argv, std::string& error);

}  // namespace tolvane::cli
