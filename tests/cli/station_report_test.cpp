// The station report over logs as a full disk or an editor leaves them: a cut-off line, hostile
// values, lines too long or too many to name, a directory given as a log; and the station itself
// continuing a cut-off log on a line of its own.
#include "output/exit_codes.h"
#include "report/logged_unit.h"
#include "report/station_figures.h"
#include "report/station_report_command.h"
#include "tool_bench.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace tolvane::cli {
namespace {

using ::testing::HasSubstr;

constexpr const char* kRecord = R"({"time":"2026-05-04T10:11:12Z","exit_code":0,"port":"1-1"})";

std::string Record(const std::string& extra) {
    return R"({"time":"2026-05-04T10:11:12Z","exit_code":0)" + extra + "}";
}

TEST(StationLogReading, EachLineIsReadOrCountedAndNamed) {
    struct Case {
        std::string line;
        std::size_t units;
        const char* warning;  // empty: none
    };
    const std::vector<Case> cases = {
        {kRecord, 1, ""},
        {"not json", 0, "not a JSON object"},
        {R"({"exit_code":0})", 0, "no time or exit_code"},
        // Once a crash of the whole report: a start before 1970, a timeline of 10^10 buckets.
        {Record(R"(,"duration_ms":-5)"), 0, "its duration is negative or longer than a year"},
        {Record(R"(,"seconds":-1.5)"), 0, "its duration is negative or longer than a year"},
        {Record(R"(,"duration_ms":1e300)"), 0, "its duration is negative or longer than a year"},
        // A full disk cut the earlier run's line; the next run's record followed it.
        {std::string(R"({"time":"2026-05-04T1)") + kRecord, 1,
         "the first 21 bytes are a cut-off line, left out; the record after them is read"},
        {std::string(kMaxLogLineBytes + 1, 'x'), 0, "longer than 65536 bytes"},
    };
    for (const Case& c : cases) {
        LogReading reading;
        ReadStationLog(c.line + "\n\n" + kRecord, "x.log", reading);
        EXPECT_EQ(reading.units.size(), c.units + 1) << c.line.substr(0, 80);
        EXPECT_EQ(reading.linesLeftOut, *c.warning ? 1u : 0u) << c.line.substr(0, 80);
        if (*c.warning) {
            ASSERT_EQ(reading.warnings.size(), 1u);
            EXPECT_THAT(reading.warnings[0], HasSubstr(std::string("x.log:1: ") + c.warning));
        }
        // The line after it, and the last line without its end, are read whatever came before.
        EXPECT_EQ(reading.units.back().place, "1-1");
    }
}

TEST(StationLogReading, ManyBadLinesAreCountedButOnlyTheFirstNamed) {
    std::string text;
    for (int i = 0; i < 30; ++i) text += "garbage\n";
    LogReading reading;
    ReadStationLog(text, "x.log", reading);
    EXPECT_EQ(reading.linesLeftOut, 30u);
    EXPECT_EQ(reading.warnings.size(), kNamedLinesLeftOut);
}

TEST(StationFigures, UnitsCenturiesApartKeepTheTimelineShort) {
    LoggedUnit early, late;
    early.endS = *ParseUtcTimestamp("0001-01-01T00:00:00Z");
    late.endS = *ParseUtcTimestamp("9999-12-31T23:59:59Z");
    const StationFigures f = ComputeFigures({early, late});
    EXPECT_LE(f.timeline.size(), 49u);
    EXPECT_EQ(f.timeline.front().passed + f.timeline.back().passed, 2u);
}

using StationReportTest = ToolBenchTest;

TEST_F(StationReportTest, ADirectoryIsRefusedAndBadLinesAreCountedInTheReport) {
    const ToolRun directory = simulate({"report", dir_.path("")});
    EXPECT_EQ(directory.exitCode, kExitUnreadable);
    EXPECT_THAT(directory.err, HasSubstr("is a directory, not a station log"));

    std::string text = std::string(kRecord) + "\n";
    for (int i = 0; i < 25; ++i) text += "garbage\n";
    const std::string log = dir_.write("bad.log", text);
    const ToolRun r = simulate({"report", log});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    EXPECT_THAT(r.out, HasSubstr("left out  25 line(s) that are no unit's record"));
    EXPECT_THAT(r.err, HasSubstr("bad.log:2: not a JSON object; left out"));
    EXPECT_THAT(r.err, HasSubstr("5 more line(s) left out"));
    const ToolRun json = simulate({"--json", "report", log});
    EXPECT_EQ(nlohmann::json::parse(json.out)["report"]["lines_left_out"], 25);
}

// A station log that an earlier run left inside a line (a full disk) is continued on a new line:
// the report counts the unit this run updated, and names the cut line.
TEST_F(StationReportTest, AStationContinuesACutLogOnANewLine) {
    const std::string log = dir_.write("station.log", std::string(R"({"time":"2026-05-0)"));
    const ToolRun station = simulate({"station", image(), "--count", "1", "--log", log});
    EXPECT_EQ(station.exitCode, kExitSuccess) << station.err;
    const ToolRun report = simulate({"report", log});
    EXPECT_EQ(report.exitCode, kExitSuccess) << report.err;
    EXPECT_THAT(report.out, HasSubstr("units     1  (passed 1, failed 0, skipped 0)"));
    EXPECT_THAT(report.err, HasSubstr("station.log:1: not a JSON object; left out"));
    // A log that ends with its line's end gets no empty line.
    const ToolRun again = simulate({"station", image(), "--count", "1", "--log", log});
    EXPECT_EQ(again.exitCode, kExitSuccess) << again.err;
    std::ostringstream content;
    content << std::ifstream(log).rdbuf();
    EXPECT_EQ(content.str().find("\n\n"), std::string::npos) << content.str();
    // The cut line stays as it was, and this run's record starts on the next.
    EXPECT_TRUE(content.str().starts_with("{\"time\":\"2026-05-0\n{\"time\":")) << content.str();
}

}  // namespace
}  // namespace tolvane::cli
