// The station report for people (text) and as data (--json).
#pragma once

#include "output/run_report.h"
#include "report/station_figures.h"

#include <string>

namespace tolvane::cli {

std::string ReportText(const StationFigures& figures);
Json ReportJson(const StationFigures& figures);

// "1234.5" with one decimal; "-" when none.
std::string OneDecimal(const std::optional<double>& value);

}  // namespace tolvane::cli
