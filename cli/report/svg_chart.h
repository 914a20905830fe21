// Vertical bar charts as inline SVG, drawn with whole-pixel rectangles so that every bar keeps its
// exact colour on screen.
#pragma once

#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace tolvane::cli {

struct ChartBar {
    std::string label;  // under the bar; may be empty
    std::string tip;    // shown when the pointer rests on the bar
    // Parts stacked from the bottom: value and colour ("#rrggbb").
    std::vector<std::pair<double, std::string>> parts;
    std::optional<double> whisker;  // a thin line up to this value (the 95th percentile)
};

struct ChartSpec {
    std::string id;     // the svg element's id
    std::string title;  // its accessible name
    std::string unit;   // after the top value on the axis
    int width = 760;
    int height = 240;
};

std::string BarChartSvg(const ChartSpec& spec, const std::vector<ChartBar>& bars);

// Text made safe for HTML and SVG.
std::string EscapeHtml(const std::string& text);

}  // namespace tolvane::cli
