// The figures of a station's report, computed from the units its logs hold.
#pragma once

#include "report/logged_unit.h"

#include <array>
#include <cstdint>
#include <deque>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

struct PhaseSpread {
    std::size_t samples = 0;
    std::optional<std::uint64_t> medianMs;
    std::optional<std::uint64_t> p95Ms;  // nearest rank
};

struct PlaceFailures {
    std::string place;  // slot name, else port
    std::size_t units = 0;
    std::size_t failed = 0;
    bool standsOut = false;  // fails far more often than the other places together
};

struct TimeBucket {
    std::int64_t startS = 0;
    std::size_t passed = 0;
    std::size_t failed = 0;  // skipped units count as passed here: the unit left the line good
};

struct StationFigures {
    std::size_t units = 0, passed = 0, failed = 0, skipped = 0;
    std::optional<double> yield;  // passed / (passed + failed)
    std::int64_t firstStartS = 0, lastEndS = 0;
    std::optional<double> unitsPerHour;      // over the whole span
    std::optional<double> unitsPerBusyHour;  // over the time at least one unit was at work
    double busyHours = 0;
    std::array<PhaseSpread, kPhaseCount> phases{};
    std::map<std::string, std::size_t> failuresByResult;
    std::vector<PlaceFailures> places;  // in place order
    std::map<std::string, std::size_t> versionsBefore, versionsAfter;
    std::vector<TimeBucket> timeline;  // units finished per bucket, over the span
    std::int64_t bucketS = 0;
};

// The figures built up one unit at a time, so that a log of millions of lines is never held: per
// unit only its phase times and its span are kept (a few dozen bytes).
class StationTally {
public:
    void add(const LoggedUnit& unit);
    StationFigures figures();

private:
    struct Span {
        std::int64_t startS = 0;
        std::int64_t endS = 0;
        bool failed = false;
    };
    StationFigures counts_;
    std::map<std::string, PlaceFailures> places_;
    // Deques grow without copying what they hold, so the peak stays near what is kept.
    std::array<std::deque<std::uint32_t>, kPhaseCount> phaseSamples_;
    std::deque<Span> spans_;
};

StationFigures ComputeFigures(const std::vector<LoggedUnit>& units);

}  // namespace tolvane::cli
