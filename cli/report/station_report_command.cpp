#include "report/station_report_command.h"

#include "errno_errors.h"
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "report/report_html.h"
#include "report/report_text.h"
#include "report/station_figures.h"

#include <cerrno>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <system_error>

namespace tolvane::cli {

namespace {

std::filesystem::path PathOf(const std::string& utf8) {
    return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

StationReportOutcome Unreadable(const std::string& path, std::uint32_t code,
                                const std::string& why) {
    StationReportOutcome outcome;
    outcome.exitCode = kExitUnreadable;
    outcome.result = "LOG_UNREADABLE";
    outcome.code = code;
    outcome.message = Printable(path) + ": " + why;
    return outcome;
}

}  // namespace

StationReportOutcome RunStationReport(const std::vector<std::string>& logs,
                                      const std::string& htmlPath, bool json) {
    StationReportOutcome outcome;
    StationTally tally;
    LogReading reading;
    reading.take = [&tally](const LoggedUnit& unit) { tally.add(unit); };
    std::string sources;
    for (const std::string& path : logs) {
        // A directory opens, and reads as an empty log: it is refused by name instead.
        std::error_code error;
        if (std::filesystem::is_directory(PathOf(path), error)) {
            return Unreadable(path, kErrorInvalidParameter, "is a directory, not a station log");
        }
        std::ifstream file(PathOf(path), std::ios::binary);
        if (!file) {
            return Unreadable(path, FileErrorFromErrno(errno),
                              std::string("cannot be read: ") + std::strerror(errno));
        }
        ReadStationLog(file, Printable(path), reading);
        if (file.bad()) return Unreadable(path, kErrorIoDevice, "could not be read to its end");
        sources += (sources.empty() ? "" : ", ") + Printable(path);
    }
    outcome.warnings = std::move(reading.warnings);
    if (reading.linesLeftOut > outcome.warnings.size()) {
        outcome.warnings.push_back(std::to_string(reading.linesLeftOut - outcome.warnings.size()) +
                                   " more line(s) left out");
    }
    const StationFigures figures = tally.figures();
    outcome.data = ReportJson(figures);
    outcome.data["lines_left_out"] = reading.linesLeftOut;
    if (!json) {
        outcome.text = ReportText(figures);
        if (reading.linesLeftOut > 0) {
            outcome.text += "\nleft out  " + std::to_string(reading.linesLeftOut) +
                            " line(s) that are no unit's record (named in the warnings)\n";
        }
    }
    outcome.message =
        std::to_string(figures.units) + " unit(s) from " + std::to_string(logs.size()) + " log(s)";
    if (reading.linesLeftOut > 0) {
        outcome.message += ", " + std::to_string(reading.linesLeftOut) + " line(s) left out";
    }
    if (!htmlPath.empty()) {
        std::ofstream page(PathOf(htmlPath), std::ios::binary | std::ios::trunc);
        page << ReportHtml(figures, sources);
        page.close();
        if (!page) {
            outcome.exitCode = kExitOutputFailed;
            outcome.result = "OUTPUT_FAILED";
            outcome.code = kErrorWriteFault;
            outcome.message = Printable(htmlPath) + ": the page could not be written";
            return outcome;
        }
        outcome.data["html"] = htmlPath;
    }
    return outcome;
}

}  // namespace tolvane::cli
