#include "station_figures.h"

#include "port_order.h"

#include <algorithm>
#include <cmath>

namespace tolvane::cli {
namespace {

// Bucket widths for the timeline, so that a span shows in at most kMaxBuckets bars.
constexpr std::array<std::int64_t, 10> kBucketWidthsS{60,   300,  600,   900,   1800,
                                                      3600, 7200, 14400, 43200, 86400};
constexpr std::int64_t kMaxBuckets = 48;
// A place stands out with at least this many failures and at least this many times the failure
// rate of all other places together.
constexpr std::size_t kStandOutFailures = 2;
constexpr double kStandOutFactor = 2.0;

std::int64_t StartS(const LoggedUnit& unit) {
    return unit.endS - static_cast<std::int64_t>((unit.durationMs + 999) / 1000);
}

// The time in which at least one unit was at work.
double BusySeconds(const std::vector<LoggedUnit>& units) {
    std::vector<std::pair<std::int64_t, std::int64_t>> spans;
    for (const LoggedUnit& unit : units) spans.emplace_back(StartS(unit), unit.endS);
    std::ranges::sort(spans);
    double busy = 0;
    std::int64_t from = 0, to = 0;
    bool open = false;
    for (const auto& [start, end] : spans) {
        if (open && start <= to) {
            to = std::max(to, end);
            continue;
        }
        if (open) busy += static_cast<double>(to - from);
        from = start;
        to = end;
        open = true;
    }
    if (open) busy += static_cast<double>(to - from);
    return busy;
}

void FindStandOuts(std::vector<PlaceFailures>& places, std::size_t units, std::size_t failed) {
    for (PlaceFailures& place : places) {
        if (place.failed < kStandOutFailures) continue;
        const std::size_t otherUnits = units - place.units;
        const std::size_t otherFailed = failed - place.failed;
        const double rate = static_cast<double>(place.failed) / static_cast<double>(place.units);
        const double others =
            otherUnits == 0 ? 0
                            : static_cast<double>(otherFailed) / static_cast<double>(otherUnits);
        place.standsOut = otherUnits > 0 && rate >= kStandOutFactor * others && rate > others;
    }
}

}  // namespace

std::uint64_t NearestRank(const std::vector<std::uint64_t>& sorted, double percent) {
    const auto rank =
        static_cast<std::size_t>(std::ceil(percent / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
}

StationFigures ComputeFigures(const std::vector<LoggedUnit>& units) {
    StationFigures figures;
    figures.units = units.size();
    if (units.empty()) return figures;
    std::array<std::vector<std::uint64_t>, 5> phaseSamples;
    std::map<std::string, PlaceFailures> places;
    figures.firstStartS = StartS(units.front());
    figures.lastEndS = units.front().endS;
    for (const LoggedUnit& unit : units) {
        figures.firstStartS = std::min(figures.firstStartS, StartS(unit));
        figures.lastEndS = std::max(figures.lastEndS, unit.endS);
        PlaceFailures& place = places[unit.place];
        place.place = unit.place;
        ++place.units;
        switch (unit.outcome) {
            case UnitOutcome::Passed:
                ++figures.passed;
                break;
            case UnitOutcome::Skipped:
                ++figures.skipped;
                break;
            case UnitOutcome::Failed:
                ++figures.failed;
                ++place.failed;
                ++figures.failuresByResult[unit.result];
                break;
        }
        ++figures.versionsBefore[unit.versionBefore];
        ++figures.versionsAfter[unit.versionAfter];
        for (std::size_t i = 0; i < phaseSamples.size(); ++i) {
            if (unit.phaseMs[i]) phaseSamples[i].push_back(*unit.phaseMs[i]);
        }
    }
    if (figures.passed + figures.failed > 0) {
        figures.yield = static_cast<double>(figures.passed) /
                        static_cast<double>(figures.passed + figures.failed);
    }
    const auto perHour = [&](double seconds) -> std::optional<double> {
        if (seconds <= 0) return std::nullopt;
        return static_cast<double>(figures.units) * 3600.0 / seconds;
    };
    figures.unitsPerHour = perHour(static_cast<double>(figures.lastEndS - figures.firstStartS));
    const double busy = BusySeconds(units);
    figures.busyHours = busy / 3600.0;
    figures.unitsPerBusyHour = perHour(busy);
    for (std::size_t i = 0; i < phaseSamples.size(); ++i) {
        std::vector<std::uint64_t>& samples = phaseSamples[i];
        std::ranges::sort(samples);
        figures.phases[i].samples = samples.size();
        if (samples.empty()) continue;
        figures.phases[i].medianMs = NearestRank(samples, 50);
        figures.phases[i].p95Ms = NearestRank(samples, 95);
    }
    for (auto& [name, place] : places) figures.places.push_back(place);
    std::ranges::sort(figures.places, [](const PlaceFailures& a, const PlaceFailures& b) {
        return PortLess(a.place, b.place);
    });
    FindStandOuts(figures.places, figures.units, figures.failed);

    const std::int64_t span = std::max<std::int64_t>(1, figures.lastEndS - figures.firstStartS);
    figures.bucketS = kBucketWidthsS.back();
    for (const std::int64_t width : kBucketWidthsS) {
        if (span / width < kMaxBuckets) {
            figures.bucketS = width;
            break;
        }
    }
    const std::int64_t origin = figures.firstStartS - figures.firstStartS % figures.bucketS;
    figures.timeline.resize(
        static_cast<std::size_t>((figures.lastEndS - origin) / figures.bucketS) + 1);
    for (std::size_t i = 0; i < figures.timeline.size(); ++i) {
        figures.timeline[i].startS = origin + static_cast<std::int64_t>(i) * figures.bucketS;
    }
    for (const LoggedUnit& unit : units) {
        TimeBucket& bucket =
            figures.timeline[static_cast<std::size_t>((unit.endS - origin) / figures.bucketS)];
        ++(unit.outcome == UnitOutcome::Failed ? bucket.failed : bucket.passed);
    }
    return figures;
}

}  // namespace tolvane::cli
