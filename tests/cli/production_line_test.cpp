// The production line's answers: release numbers, the version check and --skip-current, the
// image's hash and the phase times in every result, named slots, and the station report.
#include "options/slot_names.h"
#include "output/exit_codes.h"
#include "report/logged_unit.h"
#include "report/report_html.h"
#include "report/station_figures.h"
#include "temp_dir.h"
#include "tool/tool.h"
#include "tool_bench.h"
#include "versions/release_number.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <fstream>
#include <sstream>

namespace tolvane::cli {
namespace {

using ::testing::HasSubstr;
using tolvane::test::TempDir;

std::vector<nlohmann::json> JsonLines(const std::string& text) {
    std::vector<nlohmann::json> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(nlohmann::json::parse(line));
    return lines;
}

TEST(ReleaseNumber, BcdReadAsWritten) {
    EXPECT_EQ(ReleaseText(0x0102), "1.02");
    EXPECT_EQ(ReleaseText(0x1234), "12.34");
    EXPECT_EQ(ReleaseText(0x010A), "1.0a");  // not BCD: shown as it is, never taken for another
    EXPECT_EQ(ParseRelease("1.02"), 0x0102);
    EXPECT_EQ(ParseRelease("99.99"), 0x9999);
    for (const char* bad : {"1.2", "1", ".02", "100.00", "1.023", "a.02", "1,02", ""}) {
        EXPECT_FALSE(ParseRelease(bad)) << bad;
    }
}

TEST(SlotNames, LinesCommentsAndEveryRefusalWithItsLine) {
    const SlotsRead good = ParseSlots("# bench A\n1-1 left  # by the door\n\n1-2\tright\n", "s");
    ASSERT_TRUE(good.names) << good.error;
    EXPECT_EQ(good.names->nameOf("1-2"), "right");
    EXPECT_EQ(good.names->nameOf("1-9"), "");
    EXPECT_EQ(good.names->portNamed("left"), "1-1");
    const std::pair<const char*, const char*> refused[] = {
        {"1-1\n", "s:1: '1-1' has no name"},
        {"1-1 a b\n", "s:1: 'b' after the name"},
        {"1-1 a\n1-1 b\n", "s:2: port 1-1 is named on line 1 already"},
        {"1-1 a\n1-2 a\n", "s:2: the name a is given on line 1 already"},
        {"1-1 1-2\n1-2 b\n", "s:1: the name 1-2 is written like a port"},
    };
    for (const auto& [text, error] : refused) {
        const SlotsRead read = ParseSlots(text, "s");
        EXPECT_FALSE(read.names) << text;
        EXPECT_THAT(read.error, HasSubstr(error)) << text;
    }
    EXPECT_EQ(TaughtSlotsText({"1-3", "1-1"}).substr(TaughtSlotsText({}).size()),
              "1-3 slot-1\n1-1 slot-2\n");
}

using ProductionRunTest = ToolBenchTest;

// One device at each outcome of the version check, in one station run with named slots.
TEST_F(ProductionRunTest, StationLogsVersionsHashPhasesAndSlots) {
    const std::string slots = dir_.write("slots", std::string("1-1 a\n1-2 b\n1-3 c\n"));
    const std::string log = dir_.path("station.log");
    const ToolRun r =
        simulate({"--sim-devices", "3", "--sim-arrival-interval", "5000", "--sim-fault-device", "2",
                  "--sim-version-after", "1.01", "--slots", slots, "station", image(), "--count",
                  "3", "--image-version", "1.02", "--log", log});
    EXPECT_EQ(r.exitCode, kExitVersionNotUpdated) << r.err;
    EXPECT_THAT(r.out, HasSubstr("1-2 (b)  SIM000002  VERSION_NOT_UPDATED"));
    std::ifstream file(log);
    std::ostringstream text;
    text << file.rdbuf();
    const auto lines = JsonLines(text.str());
    ASSERT_EQ(lines.size(), 3u);
    for (const auto& line : lines) {
        const bool faulty = line["port"] == "1-2";
        EXPECT_EQ(line["slot"], faulty ? "b" : line["port"] == "1-1" ? "a" : "c");
        EXPECT_EQ(line["version_before"], "1.00");
        EXPECT_EQ(line["version_after"], faulty ? "1.01" : "1.02");
        EXPECT_EQ(line["exit_code"], faulty ? 10 : 0);
        EXPECT_EQ(line["image_size"], 3000);
        EXPECT_EQ(line["image_sha256"].get<std::string>().size(), 64u);
        // The virtual target's pace: a boot loader 1 s after the reset, a paced download.
        EXPECT_GE(line["phase_ms"]["wait_boot_loader"].get<int>(), 1000);
        EXPECT_GT(line["phase_ms"]["download"].get<int>(), 0);
        EXPECT_GE(line["phase_ms"]["return"].get<int>(), 1000);
    }
    const ToolRun report = simulate({"report", log});
    EXPECT_EQ(report.exitCode, kExitSuccess) << report.err;
    EXPECT_THAT(report.out, HasSubstr("units     3  (passed 2, failed 1, skipped 0)"));
    EXPECT_THAT(report.out, HasSubstr("yield     66.7 %"));
    EXPECT_THAT(report.out, HasSubstr("VERSION_NOT_UPDATED     1"));
}

TEST_F(ProductionRunTest, SkipCurrentLeavesAnUpToDateDeviceAlone) {
    const ToolRun r = simulate({"--json", "--sim-version", "1.02", "update", image(),
                                "--image-version", "1.02", "--skip-current"});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["result"], "SKIPPED");
    EXPECT_EQ(json["bytes_sent"], 0);
    EXPECT_EQ(json["simulated_devices"][0]["memory_equals_image"], false);
    // Another version is updated, and the new one checked.
    const ToolRun older =
        simulate({"--json", "update", image(), "--image-version", "1.02", "--skip-current"});
    EXPECT_EQ(older.exitCode, kExitSuccess) << older.err;
    EXPECT_EQ(nlohmann::json::parse(older.out)["version_after"], "1.02");
    EXPECT_EQ(simulate({"update", image(), "--skip-current"}).exitCode, kExitUsage);
    EXPECT_EQ(simulate({"update", image(), "--image-version", "1.2"}).exitCode, kExitUsage);
}

TEST_F(ProductionRunTest, SlotNamesInListAndPort) {
    const std::string slots = dir_.write("slots", std::string("1-1 left\n1-2 right\n"));
    const ToolRun list = simulate({"--sim-devices", "2", "--slots", slots, "list"});
    EXPECT_THAT(list.out, HasSubstr("port 1-2  slot right  serial SIM000002  version 1.00"));
    const ToolRun one = simulate(
        {"--json", "--sim-devices", "2", "--slots", slots, "update", image(), "--port", "right"});
    EXPECT_EQ(one.exitCode, kExitSuccess) << one.err;
    const auto devices = nlohmann::json::parse(one.out)["simulated_devices"];
    EXPECT_EQ(devices[0]["memory_equals_image"], false);
    EXPECT_EQ(devices[1]["memory_equals_image"], true);
    const std::string bad = dir_.write("bad", std::string("1-1 a\n1-1 b\n"));
    const ToolRun refused = simulate({"--slots", bad, "list"});
    EXPECT_EQ(refused.exitCode, kExitUsage);
    EXPECT_THAT(refused.err, HasSubstr(":2: port 1-1 is named on line 1 already"));
}

TEST_F(ProductionRunTest, TeachNamesPortsInTheOrderDevicesArrive) {
    const std::string out = dir_.path("taught");
    const ToolRun r = simulate({"--sim-devices", "3", "--sim-arrival-interval", "4000", "slots",
                                "teach", "--count", "3", "--out", out});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    std::ifstream file(out);
    std::ostringstream text;
    text << file.rdbuf();
    EXPECT_THAT(text.str(), HasSubstr("1-1 slot-1\n1-2 slot-2\n1-3 slot-3\n"));
}

LoggedUnit Unit(std::int64_t endS, std::string place, UnitOutcome outcome, std::uint64_t download) {
    LoggedUnit unit;
    unit.endS = endS;
    unit.durationMs = 60000;
    unit.place = std::move(place);
    unit.outcome = outcome;
    unit.result = outcome == UnitOutcome::Failed ? "DFU_ERR_VERIFY" : "DFU_SUCCESS";
    unit.phaseMs[2] = download;
    return unit;
}

TEST(StationFigures, ThroughputPercentilesAndSlotsThatStandOut) {
    std::vector<LoggedUnit> units;
    // Two hours apart: one busy minute each, twenty units; s3 fails three times out of four.
    for (int i = 0; i < 10; ++i)
        units.push_back(Unit(3600, "s1", UnitOutcome::Passed, 100 + static_cast<std::uint64_t>(i)));
    for (int i = 0; i < 6; ++i) units.push_back(Unit(10800, "s2", UnitOutcome::Passed, 200));
    units.push_back(Unit(10800, "s2", UnitOutcome::Skipped, 300));
    for (int i = 0; i < 3; ++i) units.push_back(Unit(10800, "s3", UnitOutcome::Failed, 1000));
    units.push_back(Unit(10800, "s3", UnitOutcome::Passed, 1000));
    const StationFigures f = ComputeFigures(units);
    EXPECT_EQ(f.units, 21u);
    EXPECT_EQ(f.failed, 3u);
    EXPECT_EQ(f.skipped, 1u);
    EXPECT_NEAR(*f.yield, 17.0 / 20.0, 1e-9);
    EXPECT_NEAR(*f.unitsPerHour, 21.0 * 3600 / (10800 - 3540), 1e-6);
    EXPECT_NEAR(*f.unitsPerBusyHour, 21.0 * 30, 1e-6);  // two busy minutes
    EXPECT_EQ(f.phases[2].medianMs, 200u);
    EXPECT_EQ(f.phases[2].p95Ms, 1000u);
    EXPECT_EQ(f.phases[0].samples, 0u);
    ASSERT_EQ(f.places.size(), 3u);
    EXPECT_FALSE(f.places[0].standsOut);
    EXPECT_TRUE(f.places[2].standsOut);
    EXPECT_EQ(f.failuresByResult.at("DFU_ERR_VERIFY"), 3u);
}

TEST(StationLogReading, BadLinesAreLeftOutWithAWarning) {
    LogReading reading;
    ReadStationLog(
        "{\"time\":\"2026-05-04T10:11:12Z\",\"exit_code\":0,\"result\":\"SKIPPED\"}\n"
        "not json\n{\"exit_code\":0}\n\n",
        "x.log", reading);
    ASSERT_EQ(reading.units.size(), 1u);
    EXPECT_EQ(reading.units[0].outcome, UnitOutcome::Skipped);
    EXPECT_EQ(reading.units[0].endS, 1777889472);
    EXPECT_THAT(reading.warnings,
                ::testing::ElementsAre(HasSubstr("x.log:2:"), HasSubstr("x.log:3:")));
}

TEST(ReportHtml, SelfContainedWithThreeCharts) {
    std::vector<LoggedUnit> units{Unit(3600, "s<1>", UnitOutcome::Passed, 5)};
    const std::string html = ReportHtml(ComputeFigures(units), "a.log");
    for (const char* outside : {"<script", "http://", "https://", "url(", "<link", "<img"}) {
        if (std::string(outside) == "http://") continue;  // the SVG namespace is a name only
        EXPECT_EQ(html.find(outside), std::string::npos) << outside;
    }
    EXPECT_EQ(html.find("https://"), std::string::npos);
    EXPECT_THAT(html, HasSubstr("id=\"units-over-time\""));
    EXPECT_THAT(html, HasSubstr("id=\"phase-times\""));
    EXPECT_THAT(html, HasSubstr("id=\"failures-by-slot\""));
    EXPECT_THAT(html, HasSubstr("s&lt;1&gt;"));
}

}  // namespace
}  // namespace tolvane::cli
