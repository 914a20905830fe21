// The options that record a device command's conversation with the system, or replay one.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace CLI {
class App;
}

namespace tolvane::cli {

struct RecordOptions {
    std::optional<std::string> recordPath;  // --record FILE
    bool full = false;                      // --record-full: data reports whole, not hashed
    std::optional<std::string> replayPath;  // --replay FILE
    std::string commandLine;                // the words of the command, for the header
};

// Adds --record, --record-full and --replay to the tool's options.
void AddRecordOptions(CLI::App& app, RecordOptions& options);
// The words joined by spaces, for a recording's header.
std::string JoinedCommandLine(const std::vector<std::string>& args);

}  // namespace tolvane::cli
