#include "report/station_figures.h"

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

// The time in which at least one unit was at work; sorts `spans`.
template <typename Spans>
double BusySeconds(Spans& spans) {
    std::ranges::sort(spans, {},
                      [](const auto& span) { return std::pair(span.startS, span.endS); });
    double busy = 0;
    std::int64_t from = 0, to = 0;
    bool open = false;
    for (const auto& span : spans) {
        if (open && span.startS <= to) {
            to = std::max(to, span.endS);
            continue;
        }
        if (open) busy += static_cast<double>(to - from);
        from = span.startS;
        to = span.endS;
        open = true;
    }
    if (open) busy += static_cast<double>(to - from);
    return busy;
}

// The value at the nearest rank `percent` of sorted `values`.
std::uint64_t NearestRank(const std::deque<std::uint32_t>& sorted, double percent) {
    const auto rank =
        static_cast<std::size_t>(std::ceil(percent / 100.0 * static_cast<double>(sorted.size())));
    return sorted[std::clamp<std::size_t>(rank, 1, sorted.size()) - 1];
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

void StationTally::add(const LoggedUnit& unit) {
    StationFigures& f = counts_;
    const std::int64_t start = StartS(unit);
    f.firstStartS = f.units == 0 ? start : std::min(f.firstStartS, start);
    f.lastEndS = f.units == 0 ? unit.endS : std::max(f.lastEndS, unit.endS);
    ++f.units;
    PlaceFailures& place = places_[unit.place];
    place.place = unit.place;
    ++place.units;
    switch (unit.outcome) {
        case UnitOutcome::Passed:
            ++f.passed;
            break;
        case UnitOutcome::Skipped:
            ++f.skipped;
            break;
        case UnitOutcome::Failed:
            ++f.failed;
            ++place.failed;
            ++f.failuresByResult[unit.result];
            break;
    }
    ++f.versionsBefore[unit.versionBefore];
    ++f.versionsAfter[unit.versionAfter];
    for (std::size_t i = 0; i < phaseSamples_.size(); ++i) {
        // A phase of more than 49 days is as long as one of 49 days for a median.
        if (unit.phaseMs[i]) {
            phaseSamples_[i].push_back(
                static_cast<std::uint32_t>(std::min<std::uint64_t>(*unit.phaseMs[i], UINT32_MAX)));
        }
    }
    spans_.push_back(Span{start, unit.endS, unit.outcome == UnitOutcome::Failed});
}

StationFigures StationTally::figures() {
    StationFigures figures = counts_;
    if (figures.units == 0) return figures;
    if (figures.passed + figures.failed > 0) {
        figures.yield = static_cast<double>(figures.passed) /
                        static_cast<double>(figures.passed + figures.failed);
    }
    const auto perHour = [&](double seconds) -> std::optional<double> {
        if (seconds <= 0) return std::nullopt;
        return static_cast<double>(figures.units) * 3600.0 / seconds;
    };
    figures.unitsPerHour = perHour(static_cast<double>(figures.lastEndS - figures.firstStartS));
    const double busy = BusySeconds(spans_);
    figures.busyHours = busy / 3600.0;
    figures.unitsPerBusyHour = perHour(busy);
    for (std::size_t i = 0; i < phaseSamples_.size(); ++i) {
        auto& samples = phaseSamples_[i];
        std::ranges::sort(samples);
        figures.phases[i].samples = samples.size();
        if (samples.empty()) continue;
        figures.phases[i].medianMs = NearestRank(samples, 50);
        figures.phases[i].p95Ms = NearestRank(samples, 95);
    }
    for (auto& [name, place] : places_) figures.places.push_back(place);
    std::ranges::sort(figures.places, [](const PlaceFailures& a, const PlaceFailures& b) {
        return PortLess(a.place, b.place);
    });
    FindStandOuts(figures.places, figures.units, figures.failed);

    // At most kMaxBuckets bars, however far apart the first and the last unit are.
    const std::int64_t span = std::max<std::int64_t>(1, figures.lastEndS - figures.firstStartS);
    figures.bucketS = span / (kMaxBuckets - 1) + 1;
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
    for (const Span& unit : spans_) {
        TimeBucket& bucket =
            figures.timeline[static_cast<std::size_t>((unit.endS - origin) / figures.bucketS)];
        ++(unit.failed ? bucket.failed : bucket.passed);
    }
    return figures;
}

StationFigures ComputeFigures(const std::vector<LoggedUnit>& units) {
    StationTally tally;
    for (const LoggedUnit& unit : units) tally.add(unit);
    return tally.figures();
}

}  // namespace tolvane::cli
