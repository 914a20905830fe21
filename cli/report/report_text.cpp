#include "report/report_text.h"

#include "report/utc_timestamp.h"

#include <cstdio>

namespace tolvane::cli {
namespace {

std::string Ms(const std::optional<std::uint64_t>& value) {
    return value ? std::to_string(*value) + " ms" : std::string("-");
}

std::string Padded(std::string text, std::size_t width) {
    if (text.size() < width) text.resize(width, ' ');
    return text;
}

std::string Counts(const std::map<std::string, std::size_t>& counts) {
    std::string text;
    for (const auto& [name, count] : counts) {
        text += (text.empty() ? "" : ", ") + name + " x" + std::to_string(count);
    }
    return text.empty() ? "-" : text;
}

Json Optional(const std::optional<double>& value) {
    return value ? Json(*value) : Json(nullptr);
}

Json OptionalMs(const std::optional<std::uint64_t>& value) {
    return value ? Json(*value) : Json(nullptr);
}

}  // namespace

std::string OneDecimal(const std::optional<double>& value) {
    if (!value) return "-";
    char text[32];
    std::snprintf(text, sizeof text, "%.1f", *value);
    return text;
}

std::string ReportText(const StationFigures& f) {
    std::string text;
    text += "units     " + std::to_string(f.units) + "  (passed " + std::to_string(f.passed) +
            ", failed " + std::to_string(f.failed) + ", skipped " + std::to_string(f.skipped) +
            ")\n";
    text += "yield     " + (f.yield ? OneDecimal(*f.yield * 100) + " %" : "-") + "\n";
    if (f.units > 0) {
        text += "span      " + UtcTimestamp(static_cast<std::time_t>(f.firstStartS)) + " to " +
                UtcTimestamp(static_cast<std::time_t>(f.lastEndS)) + "\n";
    }
    text += "units/h   " + OneDecimal(f.unitsPerHour) + " over the span, " +
            OneDecimal(f.unitsPerBusyHour) + " over the " + OneDecimal(f.busyHours * 60) +
            " min busy\n\nphase               median      p95  samples\n";
    for (std::size_t i = 0; i < f.phases.size(); ++i) {
        const PhaseSpread& p = f.phases[i];
        char row[128];
        std::snprintf(row, sizeof row, "%-18s %8s %8s  %zu\n", kPhaseTitles[i],
                      Ms(p.medianMs).c_str(), Ms(p.p95Ms).c_str(), p.samples);
        text += row;
    }
    text += "\nfailures by result\n";
    if (f.failuresByResult.empty()) text += "  none\n";
    for (const auto& [result, count] : f.failuresByResult) {
        text += "  " + Padded(result, 24) + std::to_string(count) + "\n";
    }
    text += "\nfailures by slot or port\n";
    for (const PlaceFailures& place : f.places) {
        text += "  " + Padded(place.place, 16) + std::to_string(place.failed) + " of " +
                std::to_string(place.units) + (place.standsOut ? "  <- stands out" : "") + "\n";
    }
    text += "\nversions before  " + Counts(f.versionsBefore) + "\nversions after   " +
            Counts(f.versionsAfter) + "\n";
    return text;
}

Json ReportJson(const StationFigures& f) {
    Json json;
    json["units"] = f.units;
    json["passed"] = f.passed;
    json["failed"] = f.failed;
    json["skipped"] = f.skipped;
    json["yield"] = Optional(f.yield);
    json["first_start"] =
        f.units ? Json(UtcTimestamp(static_cast<std::time_t>(f.firstStartS))) : Json(nullptr);
    json["last_end"] =
        f.units ? Json(UtcTimestamp(static_cast<std::time_t>(f.lastEndS))) : Json(nullptr);
    json["units_per_hour"] = Optional(f.unitsPerHour);
    json["units_per_busy_hour"] = Optional(f.unitsPerBusyHour);
    json["busy_hours"] = f.busyHours;
    Json phases = Json::object();
    for (std::size_t i = 0; i < f.phases.size(); ++i) {
        phases[kPhaseKeys[i]] = {{"median_ms", OptionalMs(f.phases[i].medianMs)},
                                 {"p95_ms", OptionalMs(f.phases[i].p95Ms)},
                                 {"samples", f.phases[i].samples}};
    }
    json["phases"] = std::move(phases);
    json["failures_by_result"] = f.failuresByResult;
    Json places = Json::array();
    for (const PlaceFailures& place : f.places) {
        places.push_back({{"slot", place.place},
                          {"units", place.units},
                          {"failed", place.failed},
                          {"stands_out", place.standsOut}});
    }
    json["failures_by_slot"] = std::move(places);
    json["versions_before"] = f.versionsBefore;
    json["versions_after"] = f.versionsAfter;
    return json;
}

}  // namespace tolvane::cli
