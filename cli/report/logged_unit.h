// One finished device as a station log records it, read back for the report.
#pragma once

#include <array>
#include <cstdint>
#include <functional>
#include <istream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "output/phase_keys.h"

namespace tolvane::cli {

enum class UnitOutcome { Passed, Failed, Skipped };

struct LoggedUnit {
    std::int64_t endS = 0;         // when it finished, in seconds since 1970 (UTC)
    std::uint64_t durationMs = 0;  // its update, on the station's clock
    std::string place;             // its slot's name, else its port
    std::string result;
    UnitOutcome outcome = UnitOutcome::Passed;
    std::string versionBefore;  // "-" when unknown
    std::string versionAfter;
    std::array<std::optional<std::uint64_t>, kPhaseCount> phaseMs{};
};

// A log line longer than this is no device's record; it is left out unread.
inline constexpr std::size_t kMaxLogLineBytes = 64 * 1024;
// The lines left out that are named one by one; the rest are counted.
inline constexpr std::size_t kNamedLinesLeftOut = 20;

struct LogReading {
    // Each unit read, as it is read; without one, the units are kept in `units`.
    std::function<void(const LoggedUnit&)> take;
    std::vector<LoggedUnit> units;
    std::vector<std::string> warnings;  // "FILE:LINE: why it was left out", the first ones
    std::size_t linesLeftOut = 0;       // every line that could not be read, named or not
};

// Reads one log line by line, never more than one line in memory, into `reading`. A line that is
// no device's record is left out and counted. A record that follows the cut-off start of a line
// (an earlier run stopped by a full disk) is still read.
void ReadStationLog(std::istream& in, const std::string& fileName, LogReading& reading);
void ReadStationLog(std::string_view text, const std::string& fileName, LogReading& reading);

// "2026-05-04T10:11:12Z" in seconds since 1970; none when malformed.
std::optional<std::int64_t> ParseUtcTimestamp(const std::string& text);

}  // namespace tolvane::cli
