#include "report/report_html.h"

#include "report/report_text.h"
#include "report/svg_chart.h"
#include "report/utc_timestamp.h"

namespace tolvane::cli {
namespace {

constexpr const char* kStyle =
    "body{font:15px/1.4 sans-serif;margin:24px;color:#1a1a1a;background:#fff;max-width:820px}"
    "h1{font-size:22px;margin:0 0 4px}h2{font-size:17px;margin:22px 0 6px}"
    ".sub{color:#555;margin:0 0 14px}table{border-collapse:collapse}"
    "td,th{padding:2px 12px 2px 0;text-align:left}td.n{text-align:right}"
    ".tiles{display:flex;gap:10px;flex-wrap:wrap}.tile{border:1px solid #cfd8dc;"
    "border-radius:6px;padding:6px 12px;min-width:110px}.tile b{display:block;font-size:22px}"
    ".axis,.label{font:12px sans-serif;fill:#37474f}.out{color:#b71c1c;font-weight:bold}"
    ".key{display:inline-block;width:12px;height:12px;margin:0 4px 0 12px;vertical-align:-1px}";

std::string Tile(const std::string& value, const std::string& name) {
    return "<div class=\"tile\"><b>" + EscapeHtml(value) + "</b>" + EscapeHtml(name) + "</div>";
}

std::string Key(const char* colour, const std::string& name) {
    return std::string("<span class=\"key\" style=\"background:") + colour + "\"></span>" +
           EscapeHtml(name);
}

std::string HourMinute(std::int64_t seconds) {
    return UtcTimestamp(static_cast<std::time_t>(seconds)).substr(11, 5);
}

std::string TimelineChart(const StationFigures& f) {
    std::vector<ChartBar> bars;
    for (const TimeBucket& bucket : f.timeline) {
        ChartBar bar;
        bar.label = HourMinute(bucket.startS);
        bar.tip = UtcTimestamp(static_cast<std::time_t>(bucket.startS)) + ": " +
                  std::to_string(bucket.passed) + " passed, " + std::to_string(bucket.failed) +
                  " failed";
        bar.parts = {{static_cast<double>(bucket.passed), kPassedColour},
                     {static_cast<double>(bucket.failed), kFailedColour}};
        bars.push_back(std::move(bar));
    }
    return BarChartSvg({"units-over-time", "units finished over time", "units"}, bars);
}

std::string PhaseChart(const StationFigures& f) {
    std::vector<ChartBar> bars;
    for (std::size_t i = 0; i < f.phases.size(); ++i) {
        const PhaseSpread& phase = f.phases[i];
        ChartBar bar;
        bar.label = kPhaseTitles[i];
        bar.tip = std::string(kPhaseTitles[i]) + ": median " +
                  (phase.medianMs ? std::to_string(*phase.medianMs) : "-") + " ms, 95th " +
                  (phase.p95Ms ? std::to_string(*phase.p95Ms) : "-") + " ms";
        if (phase.medianMs) bar.parts = {{static_cast<double>(*phase.medianMs), kPhaseColour}};
        if (phase.p95Ms) bar.whisker = static_cast<double>(*phase.p95Ms);
        bars.push_back(std::move(bar));
    }
    return BarChartSvg({"phase-times", "median and 95th percentile of each phase", "ms"}, bars);
}

std::string SlotChart(const StationFigures& f) {
    std::vector<ChartBar> bars;
    for (const PlaceFailures& place : f.places) {
        ChartBar bar;
        bar.label = place.place;
        bar.tip = place.place + ": " + std::to_string(place.failed) + " of " +
                  std::to_string(place.units) + " failed";
        bar.parts = {{static_cast<double>(place.units - place.failed), kSlotColour},
                     {static_cast<double>(place.failed),
                      place.standsOut ? kStandOutColour : kSlotFailedColour}};
        bars.push_back(std::move(bar));
    }
    return BarChartSvg({"failures-by-slot", "units and failures by slot", "units"}, bars);
}

}  // namespace

std::string ReportHtml(const StationFigures& f, const std::string& sources) {
    std::string html =
        "<!DOCTYPE html>\n<html lang=\"en\"><head><meta charset=\"utf-8\">"
        "<title>Station report</title><style>";
    html += kStyle;
    html += "</style></head><body><h1>Station report</h1><p class=\"sub\">" + EscapeHtml(sources) +
            "</p><div class=\"tiles\">";
    html += Tile(std::to_string(f.units), "units") + Tile(std::to_string(f.passed), "passed") +
            Tile(std::to_string(f.failed), "failed") + Tile(std::to_string(f.skipped), "skipped") +
            Tile(f.yield ? OneDecimal(*f.yield * 100) + " %" : "-", "yield") +
            Tile(OneDecimal(f.unitsPerHour), "units per hour") +
            Tile(OneDecimal(f.unitsPerBusyHour), "per busy hour");
    html += "</div><h2>Units over time</h2><p>" + Key(kPassedColour, "passed or skipped") +
            Key(kFailedColour, "failed") + " &mdash; per " + std::to_string(f.bucketS / 60) +
            " min, UTC</p>" + TimelineChart(f);
    html += "<h2>Phase times</h2><p>" + Key(kPhaseColour, "median") +
            " with a line up to the 95th percentile</p>" + PhaseChart(f);
    html += "<h2>Failures by slot</h2><p>" + Key(kSlotColour, "passed") +
            Key(kSlotFailedColour, "failed") + Key(kStandOutColour, "failed, stands out") + "</p>" +
            SlotChart(f);
    html += "<h2>Failures by result</h2><table>";
    if (f.failuresByResult.empty()) html += "<tr><td>none</td></tr>";
    for (const auto& [result, count] : f.failuresByResult) {
        html += "<tr><td>" + EscapeHtml(result) + "</td><td class=\"n\">" + std::to_string(count) +
                "</td></tr>";
    }
    html += "</table><h2>Slots that stand out</h2><p>";
    std::string outs;
    for (const PlaceFailures& place : f.places) {
        if (place.standsOut) {
            outs += "<span class=\"out\">" + EscapeHtml(place.place) + "</span> (" +
                    std::to_string(place.failed) + " of " + std::to_string(place.units) + ") ";
        }
    }
    html += (outs.empty() ? "none" : outs) + "</p><h2>Versions</h2><table>";
    for (const auto& [label, counts] :
         {std::pair{"before", &f.versionsBefore}, std::pair{"after", &f.versionsAfter}}) {
        for (const auto& [version, count] : *counts) {
            html += std::string("<tr><td>") + label + "</td><td>" + EscapeHtml(version) +
                    "</td><td class=\"n\">" + std::to_string(count) + "</td></tr>";
        }
    }
    return html + "</table></body></html>\n";
}

}  // namespace tolvane::cli
