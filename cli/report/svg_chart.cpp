#include "report/svg_chart.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace tolvane::cli {
namespace {

constexpr int kLeft = 72, kRight = 12, kTop = 14, kBottom = 40;
constexpr const char* kWhiskerColour = "#263238";

std::string Number(double value) {
    char text[32];
    std::snprintf(text, sizeof text, value >= 100 || value == std::floor(value) ? "%.0f" : "%.1f",
                  value);
    return text;
}

std::string Rect(int x, int y, int w, int h, const std::string& fill, const std::string& extra) {
    return "<rect x=\"" + std::to_string(x) + "\" y=\"" + std::to_string(y) + "\" width=\"" +
           std::to_string(w) + "\" height=\"" + std::to_string(h) + "\" fill=\"" + fill + "\"" +
           extra + "/>";
}

}  // namespace

std::string EscapeHtml(const std::string& text) {
    std::string out;
    for (const char c : text) {
        switch (c) {
            case '&':
                out += "&amp;";
                break;
            case '<':
                out += "&lt;";
                break;
            case '>':
                out += "&gt;";
                break;
            case '"':
                out += "&quot;";
                break;
            default:
                out += c;
        }
    }
    return out;
}

std::string BarChartSvg(const ChartSpec& spec, const std::vector<ChartBar>& bars) {
    double top = 0;
    for (const ChartBar& bar : bars) {
        double sum = 0;
        for (const auto& [value, colour] : bar.parts) sum += value;
        top = std::max({top, sum, bar.whisker.value_or(0)});
    }
    if (top <= 0) top = 1;
    const int plotW = spec.width - kLeft - kRight;
    const int plotH = spec.height - kTop - kBottom;
    const int baseY = kTop + plotH;
    std::string svg = "<svg xmlns=\"http://www.w3.org/2000/svg\" id=\"" + EscapeHtml(spec.id) +
                      "\" class=\"chart\" role=\"img\" aria-label=\"" + EscapeHtml(spec.title) +
                      "\" width=\"" + std::to_string(spec.width) + "\" height=\"" +
                      std::to_string(spec.height) + "\" shape-rendering=\"crispEdges\">";
    // The axis with its top value and zero.
    svg += "<line x1=\"" + std::to_string(kLeft) + "\" y1=\"" + std::to_string(kTop) + "\" x2=\"" +
           std::to_string(kLeft) + "\" y2=\"" + std::to_string(baseY) +
           "\" stroke=\"#607d8b\"/><line x1=\"" + std::to_string(kLeft) + "\" y1=\"" +
           std::to_string(baseY) + "\" x2=\"" + std::to_string(spec.width - kRight) + "\" y2=\"" +
           std::to_string(baseY) + "\" stroke=\"#607d8b\"/>";
    svg += "<text x=\"" + std::to_string(kLeft - 6) + "\" y=\"" + std::to_string(kTop + 10) +
           "\" text-anchor=\"end\" class=\"axis\">" + Number(top) + " " + EscapeHtml(spec.unit) +
           "</text><text x=\"" + std::to_string(kLeft - 6) + "\" y=\"" + std::to_string(baseY) +
           "\" text-anchor=\"end\" class=\"axis\">0</text>";
    if (bars.empty()) return svg + "</svg>";
    const int slot = std::max(3, plotW / static_cast<int>(bars.size()));
    const int gap = std::max(1, slot / 4);
    const int barW = std::min(80, slot - gap);
    // Labels are thinned out so that they do not overlap.
    const std::size_t labelEvery =
        std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(72.0 / slot)));
    for (std::size_t i = 0; i < bars.size(); ++i) {
        const ChartBar& bar = bars[i];
        const int x = kLeft + gap + static_cast<int>(i) * slot;
        svg += "<g class=\"bar\"><title>" + EscapeHtml(bar.tip) + "</title>";
        double below = 0;
        for (const auto& [value, colour] : bar.parts) {
            const int y0 = baseY - static_cast<int>(std::lround(below / top * plotH));
            below += value;
            const int y1 = baseY - static_cast<int>(std::lround(below / top * plotH));
            if (y0 > y1) svg += Rect(x, y1, barW, y0 - y1, colour, "");
        }
        // The whisker stands on the bar, so that the bar keeps one colour across.
        const int barTop = baseY - static_cast<int>(std::lround(below / top * plotH));
        if (bar.whisker) {
            const int y = baseY - static_cast<int>(std::lround(*bar.whisker / top * plotH));
            const int mid = x + barW / 2;
            if (y < barTop) svg += Rect(mid - 1, y, 2, barTop - y, kWhiskerColour, "");
            svg += Rect(mid - 6, std::min(y, barTop - 2), 14, 2, kWhiskerColour, "");
        }
        svg += "</g>";
        if (!bar.label.empty() && i % labelEvery == 0) {
            svg += "<text x=\"" + std::to_string(x + barW / 2) + "\" y=\"" +
                   std::to_string(baseY + 16) + "\" text-anchor=\"middle\" class=\"label\">" +
                   EscapeHtml(bar.label) + "</text>";
        }
    }
    return svg + "</svg>";
}

}  // namespace tolvane::cli
