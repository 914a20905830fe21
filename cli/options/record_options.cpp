#include "options/record_options.h"

#include "options/non_empty_option.h"

#include <CLI/CLI.hpp>

namespace tolvane::cli {

void AddRecordOptions(CLI::App& app, RecordOptions& options) {
    const std::string group = "Recording";
    auto* record = Valued(app.add_option("--record", options.recordPath,
                                         "write every call to the device and the system into FILE "
                                         "(JSON lines; data reports as their hash)")
                              ->type_name("FILE")
                              ->group(group));
    app.add_flag("--record-full", options.full, "with --record: store data reports whole")
        ->needs(record)
        ->group(group);
    Valued(app.add_option("--replay", options.replayPath,
                          "run the command against a recording instead of a device; the first call "
                          "that differs ends the run")
               ->type_name("FILE")
               ->excludes(record)
               ->excludes("--simulate")
               ->group(group));
}

std::string JoinedCommandLine(const std::vector<std::string>& args) {
    std::string line = "tolvane";
    for (const std::string& arg : args) {
        line += ' ';
        line += arg;
    }
    return line;
}

}  // namespace tolvane::cli
