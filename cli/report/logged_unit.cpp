#include "report/logged_unit.h"

#include <nlohmann/json.hpp>

#include <cstdio>
#include <limits>
#include <sstream>

namespace tolvane::cli {
namespace {

// Days from 1970-01-01 to the given civil date (proleptic Gregorian).
std::int64_t DaysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned month = m > 2 ? m - 3 : m + 9;
    const unsigned doy = (153 * month + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

std::string Text(const nlohmann::json& value) {
    return value.is_string() ? value.get<std::string>() : std::string("-");
}

}  // namespace

std::optional<std::int64_t> ParseUtcTimestamp(const std::string& text) {
    int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
    char z = 0;
    if (std::sscanf(text.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &z) != 7 ||
        z != 'Z' || mo < 1 || mo > 12 || d < 1 || d > 31 || h > 23 || mi > 59 || s > 60) {
        return std::nullopt;
    }
    return DaysFromCivil(y, static_cast<unsigned>(mo), static_cast<unsigned>(d)) * 86400 +
           h * 3600 + mi * 60 + s;
}

namespace {

// A unit longer than a year at one station is no unit's record.
constexpr std::uint64_t kMaxDurationMs = 366ULL * 24 * 3600 * 1000;
constexpr std::string_view kRecordStart = "{\"time\":";

// How long the unit took, from duration_ms, else seconds; nothing when the line gives a value
// that is no duration (negative, fractional milliseconds aside, or beyond a year).
std::optional<std::uint64_t> DurationOf(const nlohmann::json& record) {
    if (const auto ms = record.find("duration_ms"); ms != record.end()) {
        if (ms->is_number_unsigned() && ms->get<std::uint64_t>() <= kMaxDurationMs) {
            return ms->get<std::uint64_t>();
        }
        return std::nullopt;
    }
    if (const auto s = record.find("seconds"); s != record.end() && s->is_number()) {
        const double seconds = s->get<double>();
        if (!(seconds >= 0 && seconds * 1000 <= static_cast<double>(kMaxDurationMs))) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(seconds * 1000);
    }
    return 0;
}

// The unit a record holds, or why it holds none.
std::optional<LoggedUnit> UnitOf(const nlohmann::json& record, std::string& why) {
    if (!record.is_object()) {
        why = "not a JSON object";
        return std::nullopt;
    }
    const auto time = record.find("time");
    const auto exitCode = record.find("exit_code");
    const auto end = time != record.end() && time->is_string()
                         ? ParseUtcTimestamp(time->get<std::string>())
                         : std::nullopt;
    if (!end || exitCode == record.end() || !exitCode->is_number_integer()) {
        why = "no time or exit_code";
        return std::nullopt;
    }
    const auto duration = DurationOf(record);
    if (!duration) {
        why = "its duration is negative or longer than a year";
        return std::nullopt;
    }
    LoggedUnit unit;
    unit.endS = *end;
    unit.durationMs = *duration;
    unit.result = Text(record.value("result", nlohmann::json()));
    const std::string slot = Text(record.value("slot", nlohmann::json()));
    unit.place = slot != "-" ? slot : Text(record.value("port", nlohmann::json()));
    unit.outcome = unit.result == "SKIPPED"    ? UnitOutcome::Skipped
                   : exitCode->get<int>() == 0 ? UnitOutcome::Passed
                                               : UnitOutcome::Failed;
    unit.versionBefore = Text(record.value("version_before", nlohmann::json()));
    unit.versionAfter = Text(record.value("version_after", nlohmann::json()));
    if (const auto phases = record.find("phase_ms");
        phases != record.end() && phases->is_object()) {
        for (std::size_t i = 0; i < kPhaseKeys.size(); ++i) {
            const auto value = phases->find(kPhaseKeys[i]);
            if (value != phases->end() && value->is_number_unsigned()) {
                unit.phaseMs[i] = value->get<std::uint64_t>();
            }
        }
    }
    return unit;
}

void LeaveOut(LogReading& reading, const std::string& fileName, std::size_t number,
              const std::string& why) {
    ++reading.linesLeftOut;
    if (reading.warnings.size() < kNamedLinesLeftOut) {
        reading.warnings.push_back(fileName + ":" + std::to_string(number) + ": " + why);
    }
}

void Take(LogReading& reading, LoggedUnit&& unit) {
    if (reading.take) {
        reading.take(unit);
    } else {
        reading.units.push_back(std::move(unit));
    }
}

void ReadLine(std::string_view line, const std::string& fileName, std::size_t number,
              LogReading& reading) {
    if (line.find_first_not_of(" \t\r") == std::string_view::npos) return;
    std::string why;
    if (auto unit = UnitOf(nlohmann::json::parse(line, nullptr, false), why)) {
        Take(reading, std::move(*unit));
        return;
    }
    // A line cut off by a full disk, and the next run's record written after it.
    if (const auto at = line.rfind(kRecordStart); at != std::string_view::npos && at > 0) {
        std::string ignored;
        if (auto unit = UnitOf(nlohmann::json::parse(line.substr(at), nullptr, false), ignored)) {
            LeaveOut(reading, fileName, number,
                     "the first " + std::to_string(at) +
                         " bytes are a cut-off line, left out; the record after them is read");
            Take(reading, std::move(*unit));
            return;
        }
    }
    LeaveOut(reading, fileName, number, why + "; left out");
}

}  // namespace

void ReadStationLog(std::istream& in, const std::string& fileName, LogReading& reading) {
    std::vector<char> buffer(kMaxLogLineBytes + 1);
    for (std::size_t number = 1;; ++number) {
        in.getline(buffer.data(), static_cast<std::streamsize>(buffer.size()));
        const auto count = static_cast<std::size_t>(in.gcount());
        if (count == 0 && in.eof()) return;
        if (in.bad()) return;
        if (in.fail()) {
            // Longer than any record: the rest of it is skipped, never held.
            in.clear();
            in.ignore(std::numeric_limits<std::streamsize>::max(), '\n');
            LeaveOut(reading, fileName, number,
                     "longer than " + std::to_string(kMaxLogLineBytes) + " bytes; left out");
            continue;
        }
        // gcount counts the line's end when there was one.
        const std::size_t length = in.eof() ? count : count - 1;
        ReadLine(std::string_view(buffer.data(), length), fileName, number, reading);
        if (in.eof()) return;
    }
}

void ReadStationLog(std::string_view text, const std::string& fileName, LogReading& reading) {
    std::istringstream in{std::string(text)};
    ReadStationLog(in, fileName, reading);
}

}  // namespace tolvane::cli
