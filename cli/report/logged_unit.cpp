#include "logged_unit.h"

#include <nlohmann/json.hpp>

#include <cstdio>
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

void ReadStationLog(std::string_view text, const std::string& fileName, LogReading& reading) {
    std::istringstream lines{std::string(text)};
    std::size_t number = 0;
    for (std::string line; std::getline(lines, line);) {
        ++number;
        if (line.find_first_not_of(" \t\r") == std::string::npos) continue;
        const auto skip = [&](const std::string& why) {
            reading.warnings.push_back(fileName + ":" + std::to_string(number) + ": " + why);
        };
        const nlohmann::json record = nlohmann::json::parse(line, nullptr, false);
        if (!record.is_object()) {
            skip("not a JSON object; left out");
            continue;
        }
        const auto time = record.find("time");
        const auto exitCode = record.find("exit_code");
        const auto end = time != record.end() && time->is_string()
                             ? ParseUtcTimestamp(time->get<std::string>())
                             : std::nullopt;
        if (!end || exitCode == record.end() || !exitCode->is_number_integer()) {
            skip("no time or exit_code; left out");
            continue;
        }
        LoggedUnit unit;
        unit.endS = *end;
        unit.result = Text(record.value("result", nlohmann::json()));
        if (const auto ms = record.find("duration_ms"); ms != record.end() && ms->is_number()) {
            unit.durationMs = ms->get<std::uint64_t>();
        } else if (const auto s = record.find("seconds"); s != record.end() && s->is_number()) {
            unit.durationMs = static_cast<std::uint64_t>(s->get<double>() * 1000);
        }
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
        reading.units.push_back(std::move(unit));
    }
}

}  // namespace tolvane::cli
