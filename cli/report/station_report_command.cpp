#include "station_report_command.h"

#include "exit_codes.h"
#include "report_html.h"
#include "report_text.h"
#include "station_figures.h"
#include "system_errors.h"
#include "text_format.h"

#include <cerrno>
#include <cstring>
#include <fstream>
#include <sstream>

namespace tolvane::cli {

StationReportOutcome RunStationReport(const std::vector<std::string>& logs,
                                      const std::string& htmlPath, bool json) {
    StationReportOutcome outcome;
    LogReading reading;
    std::string sources;
    for (const std::string& path : logs) {
        std::ifstream file(path, std::ios::binary);
        if (!file) {
            outcome.exitCode = kExitUnreadable;
            outcome.result = "LOG_UNREADABLE";
            outcome.code = SysErrorFromErrno(errno);
            outcome.message = Printable(path) + ": cannot be read: " + std::strerror(errno);
            return outcome;
        }
        std::ostringstream text;
        text << file.rdbuf();
        ReadStationLog(text.str(), Printable(path), reading);
        sources += (sources.empty() ? "" : ", ") + Printable(path);
    }
    outcome.warnings = std::move(reading.warnings);
    const StationFigures figures = ComputeFigures(reading.units);
    outcome.data = ReportJson(figures);
    if (!json) outcome.text = ReportText(figures);
    outcome.message =
        std::to_string(figures.units) + " unit(s) from " + std::to_string(logs.size()) + " log(s)";
    if (!htmlPath.empty()) {
        std::ofstream page(htmlPath, std::ios::binary | std::ios::trunc);
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
