// The station report as one self-contained HTML page: no script, no style sheet, font or image
// from elsewhere; the charts are inline SVG.
#pragma once

#include "report/station_figures.h"

#include <string>

namespace tolvane::cli {

// Colours of the bars, one per kind, so that a rendering can be checked bar by bar.
inline constexpr const char* kPassedColour = "#2e7d32";
inline constexpr const char* kFailedColour = "#c62828";
inline constexpr const char* kPhaseColour = "#1565c0";
inline constexpr const char* kSlotColour = "#90a4ae";
inline constexpr const char* kSlotFailedColour = "#ad1457";
inline constexpr const char* kStandOutColour = "#ef6c00";

// `sources` names the logs read, for the page's heading.
std::string ReportHtml(const StationFigures& figures, const std::string& sources);

}  // namespace tolvane::cli
