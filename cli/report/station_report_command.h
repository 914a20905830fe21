// tolvane report LOG...: reads station logs and sums them up as text, as data for --json, and
// with --html as one self-contained page with charts.
#pragma once

#include "output/run_report.h"

#include <string>
#include <vector>

namespace tolvane::cli {

struct StationReportOutcome {
    int exitCode = 0;
    std::string result;  // on failure: IMAGE_UNREADABLE-like names of what went wrong
    std::uint32_t code = 0;
    std::string message;
    std::string text;                   // the report for people
    Json data;                          // the report as data
    std::vector<std::string> warnings;  // lines that were not a device's record
};

StationReportOutcome RunStationReport(const std::vector<std::string>& logs,
                                      const std::string& htmlPath, bool json);

}  // namespace tolvane::cli
