// Several devices on one bus: the tool refuses to guess, --port writes only the chosen unit,
// --all reports each device, the station updates each plugged-in unit once.
#include "line/all_devices_run.h"
#include "line/progress_board.h"
#include "line/station_log.h"
#include "line/station_log_file.h"
#include "line/station_run.h"
#include "output/exit_codes.h"
#include "temp_dir.h"
#include "tool/command_line.h"
#include "tool/tool.h"
#include "tool_bench.h"

#include "device_rack.h"
#include "sim_bus.h"
#include "sim_services.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#ifndef _WIN32
#include <sys/stat.h>
#endif
#include <nlohmann/json.hpp>

#include <chrono>
#include <fstream>
#include <set>
#include <sstream>
#include <thread>

namespace tolvane::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::Not;
using tolvane::test::TempDir;

std::vector<std::string> Lines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) lines.push_back(line);
    return lines;
}

using SeveralDevicesTest = ToolBenchTest;

TEST_F(SeveralDevicesTest, ListShowsEachPortAndSerial) {
    const ToolRun text = simulate({"--sim-devices", "3", "list"});
    EXPECT_EQ(text.exitCode, kExitSuccess);
    for (const char* part : {"port 1-1  serial SIM000001", "port 1-2  serial SIM000002",
                             "port 1-3  serial SIM000003"}) {
        EXPECT_THAT(text.out, HasSubstr(part));
    }
    const ToolRun json = simulate({"--sim-devices", "2", "--json", "list"});
    EXPECT_THAT(json.out,
                HasSubstr("\"port\":\"1-2\",\"serial\":\"SIM000002\",\"boot_loader\":false"));
    EXPECT_THAT(json.out, HasSubstr("\"simulated_devices\":[{\"port\":\"1-1\""));
}

// --sim-report-length is a fault like the others: only the K-th device gets it.
TEST_F(SeveralDevicesTest, ReportLengthShapesTheFaultyDeviceOnly) {
    const ToolRun r = simulate({"--sim-devices", "3", "--sim-fault-device", "2",
                                "--sim-report-length", "8", "--json", "list"});
    const auto interfaces = nlohmann::json::parse(r.out)["interfaces"];
    ASSERT_EQ(interfaces.size(), 3u);
    EXPECT_EQ(interfaces[0]["feature_report_length"], 65);
    EXPECT_EQ(interfaces[1]["feature_report_length"], 8);
    EXPECT_EQ(interfaces[2]["feature_report_length"], 65);
}

// A --simulate run refused before its devices exist still lists them, none written; a port with
// no device is named.
TEST_F(SeveralDevicesTest, RefusalsOfASimulatedRunListItsDevicesAndNameThePort) {
    const std::string none = "\"memory_equals_image\":false}";
    const ToolRun unreadable =
        simulate({"--sim-devices", "2", "--json", "update", dir_.path("no.bin")});
    EXPECT_EQ(unreadable.exitCode, kExitUnreadable);
    EXPECT_THAT(unreadable.out, HasSubstr("\"simulated_devices\":[{\"port\":\"1-1\"," + none +
                                          ",{\"port\":\"1-2\"," + none + "]"));
    const ToolRun usage = simulate({"--json", "update"});
    EXPECT_EQ(usage.exitCode, kExitUsage);
    EXPECT_THAT(usage.out, HasSubstr("\"simulated_devices\":[]"));
    // Reports too long for the updater: the failure says why.
    const ToolRun longReports = simulate({"--sim-report-length", "300", "update", image()});
    EXPECT_EQ(longReports.exitCode, kExitEnterDfu);
    EXPECT_THAT(longReports.err, HasSubstr("feature reports are 300 bytes long"));
    const ToolRun port = simulate({"update", image(), "--port", "1-9"});
    EXPECT_EQ(port.exitCode, kExitNotFound);
    EXPECT_THAT(port.err, HasSubstr("nothing matching at port 1-9"));
}

TEST_F(SeveralDevicesTest, WithoutAChoiceNothingIsWritten) {
    const ToolRun r = simulate({"--sim-devices", "3", "--json", "update", image()});
    EXPECT_EQ(r.exitCode, kExitSeveralDevices);
    EXPECT_THAT(r.err, HasSubstr("several devices match: choose one with --port, or use --all"));
    EXPECT_THAT(r.err, HasSubstr("  1-3  5c3b:0326  serial SIM000003  application"));
    EXPECT_THAT(r.out, HasSubstr("\"exit_code\":8"));
    EXPECT_THAT(r.out, Not(HasSubstr("\"memory_equals_image\":true")));
}

TEST_F(SeveralDevicesTest, ApplicationAndAnotherUnitsBootLoaderAreTwoDevices) {
    const ToolRun r = simulate({"--sim-devices", "2", "--sim-fault-device", "2",
                                "--sim-in-bootloader", "update", image()});
    EXPECT_EQ(r.exitCode, kExitSeveralDevices);
    EXPECT_THAT(r.err, HasSubstr("  1-2  5c3b:030b  serial SIM000002  boot loader"));
    // The boot-loader-only steps count boot loaders only: one here.
    EXPECT_EQ(simulate({"--sim-devices", "2", "--sim-fault-device", "2", "--sim-in-bootloader",
                        "reset-to-ap"})
                  .exitCode,
              kExitSuccess);
}

TEST_F(SeveralDevicesTest, OneDeviceBehavesAsBefore) {
    const ToolRun r = simulate({"update", image()});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    EXPECT_THAT(r.out, HasSubstr("its memory equals the image"));
}

TEST_F(SeveralDevicesTest, PortWritesExactlyThatDevice) {
    const ToolRun r =
        simulate({"--sim-devices", "3", "--json", "update", "--port", "1-2", image()});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    EXPECT_THAT(r.out, HasSubstr("\"simulated_devices\":[{\"port\":\"1-1\",\"memory_equals_image\":"
                                 "false},{\"port\":\"1-2\",\"memory_equals_image\":true},{\"port\":"
                                 "\"1-3\",\"memory_equals_image\":false}]"));
    EXPECT_THAT(r.out, HasSubstr("\"memory_matches\":true"));
    const ToolRun nowhere = simulate({"--sim-devices", "3", "update", "--port", "9-9", image()});
    EXPECT_EQ(nowhere.exitCode, kExitNotFound);
}

TEST_F(SeveralDevicesTest, AllReportsEachDeviceAndTheFirstFailure) {
    const ToolRun r = simulate({"--sim-devices", "4", "--sim-fault-device", "3",
                                "--sim-wrong-checksum", "--json", "update", "--all", image()});
    EXPECT_EQ(r.exitCode, kExitVerify);
    EXPECT_THAT(r.out, HasSubstr("{\"port\":\"1-3\",\"serial\":\"SIM000003\",\"exit_code\":6,"
                                 "\"result\":\"DFU_ERR_VERIFY\""));
    EXPECT_THAT(r.out, HasSubstr("{\"port\":\"1-4\",\"serial\":\"SIM000004\",\"exit_code\":0,"));
    EXPECT_THAT(r.out, HasSubstr("{\"port\":\"1-3\",\"memory_equals_image\":true}"));
    EXPECT_THAT(r.err, HasSubstr("1-3   SIM000003  DFU_ERR_VERIFY"));
    EXPECT_THAT(r.err, HasSubstr("1-2  Searching device..."));

    const ToolRun good = simulate({"--sim-devices", "2", "-q", "update", "--all", image()});
    EXPECT_EQ(good.exitCode, kExitSuccess) << good.err;
    const ToolRun none = simulate({"update", "--all", "--pid", "1234", image()});
    EXPECT_EQ(none.exitCode, kExitNotFound);
}

// A boot loader that `list` shows but whose feature reports are too short for a download is
// "not found" by the engine's search: the failure says why.
TEST_F(SeveralDevicesTest, ABootLoaderWithTooShortReportsIsNotFoundAndTheToolSaysWhy) {
    struct Case {
        std::vector<std::string> args;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"--sim-report-length", "8", "update", image()}, "feature reports of 8 bytes"},
        {{"--sim-in-bootloader", "--sim-report-length", "0", "download", image()},
         "feature reports of 0 bytes"},
    };
    for (const Case& c : cases) {
        const ToolRun r = simulate(c.args);
        EXPECT_EQ(r.exitCode, kExitNotFound) << c.args[1] << r.err;
        EXPECT_THAT(r.err, HasSubstr(std::string("the boot loader at port 1-1 has ") + c.says +
                                     "; a download needs at least 9"))
            << c.args[1];
        EXPECT_THAT(r.err, Not(HasSubstr("nothing matching at port"))) << c.args[1];
    }
}

// Two devices written: the run's bytes_sent sums them (the station's once said 0), bytes_total is
// one image, and the named totals say what they count.
TEST_F(SeveralDevicesTest, TotalsOfSeveralDevicesSayWhatTheyCount) {
    for (const std::vector<std::string>& args :
         {std::vector<std::string>{"update", "--all", image()},
          std::vector<std::string>{"--sim-arrival-interval", "500", "station", image(), "--count",
                                   "2"}}) {
        std::vector<std::string> all{"--sim-devices", "2", "--json", "-q"};
        all.insert(all.end(), args.begin(), args.end());
        const ToolRun r = simulate(all);
        EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
        const auto json = nlohmann::json::parse(Lines(r.out).back());
        EXPECT_EQ(json["bytes_sent"], 6000) << args[0];
        EXPECT_EQ(json["bytes_total"], 3000) << args[0];
        EXPECT_EQ(json["bytes_sent_all_devices"], 6000) << args[0];
        EXPECT_EQ(json["bytes_total_all_devices"], 6000) << args[0];
    }
}

// On the virtual clock each device keeps its own times: several devices updated at once take each
// exactly as long as one alone, and so does each unit of a station.
TEST_F(SeveralDevicesTest, EachSimulatedDeviceKeepsItsOwnTimes) {
    const auto durations = [](const std::string& out) {
        std::vector<std::int64_t> found;
        for (const std::string& line : Lines(out)) {
            if (line.empty() || line.front() != '{') continue;
            const auto json = nlohmann::json::parse(line);
            if (json.contains("devices")) {
                for (const auto& device : json["devices"]) {
                    if (device.contains("duration_ms")) found.push_back(device["duration_ms"]);
                }
            } else if (json.contains("duration_ms")) {
                found.push_back(json["duration_ms"]);
            }
        }
        return found;
    };
    const ToolRun one = simulate({"--sim-devices", "1", "--json", "update", "--all", image()});
    ASSERT_EQ(one.exitCode, kExitSuccess) << one.err;
    const auto alone = durations(one.out);
    ASSERT_EQ(alone.size(), 1u) << one.out;
    ASSERT_GT(alone.front(), 0);

    const ToolRun several = simulate({"--sim-devices", "6", "--json", "update", "--all", image()});
    ASSERT_EQ(several.exitCode, kExitSuccess) << several.err;
    EXPECT_EQ(durations(several.out), std::vector<std::int64_t>(6, alone.front()));

    const ToolRun station = simulate({"--sim-devices", "3", "--sim-arrival-interval", "500",
                                      "--json", "station", image(), "--count", "3"});
    ASSERT_EQ(station.exitCode, kExitSuccess) << station.err;
    EXPECT_EQ(durations(station.out), std::vector<std::int64_t>(3, alone.front()));
}

TEST_F(SeveralDevicesTest, AllTakesABootLoaderAlreadyPresent) {
    const ToolRun r = simulate({"--sim-devices", "3", "--sim-fault-device", "1",
                                "--sim-in-bootloader", "--json", "update", "--all", image()});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    for (const char* port : {"1-1", "1-2", "1-3"}) {
        EXPECT_THAT(r.out, HasSubstr("{\"port\":\"" + std::string(port) +
                                     "\",\"memory_equals_image\":true}"));
    }
}

// An application that never comes back after the reset is no success: its own result, exit 14,
// alike in a single update, --all and the station.
TEST_F(SeveralDevicesTest, ApplicationThatNeverComesBackIsNoSuccessInEveryRun) {
    const std::string text =
        "the image was accepted, but the application did not come back within 30 s";
    const ToolRun one = simulate({"--sim-never-returns", "--json", "update", image()});
    EXPECT_EQ(one.exitCode, kExitApplicationNotBack) << one.err;
    EXPECT_THAT(one.out, HasSubstr("\"result\":\"APPLICATION_NOT_BACK\",\"code\":0,"
                                   "\"exit_code\":14,\"message\":\"" +
                                   text + "\""));
    EXPECT_THAT(one.err, HasSubstr(text));
    EXPECT_THAT(one.out, HasSubstr("\"memory_matches\":true"));
    EXPECT_THAT(one.out + one.err, ::testing::Not(HasSubstr("successfully")));

    const ToolRun all = simulate({"--sim-devices", "2", "--sim-fault-device", "2",
                                  "--sim-never-returns", "--json", "update", "--all", image()});
    EXPECT_EQ(all.exitCode, kExitApplicationNotBack) << all.err;
    EXPECT_THAT(all.out, HasSubstr("{\"port\":\"1-2\",\"serial\":\"SIM000002\",\"exit_code\":14,"
                                   "\"result\":\"APPLICATION_NOT_BACK\""));
    EXPECT_THAT(all.out, HasSubstr("\"message\":\"" + text + "\""));
    EXPECT_THAT(all.err, HasSubstr("1-2   SIM000002  APPLICATION_NOT_BACK"));

    const std::string log = dir_.path("station.log");
    const ToolRun station = simulate({"--sim-devices", "2", "--sim-fault-device", "1",
                                      "--sim-never-returns", "--sim-arrival-interval", "500",
                                      "station", image(), "--log", log, "--count", "2"});
    EXPECT_EQ(station.exitCode, kExitApplicationNotBack) << station.err;
    std::ostringstream read;
    read << std::ifstream(log).rdbuf();
    EXPECT_THAT(read.str(), HasSubstr("\"exit_code\":14,\"result\":\"APPLICATION_NOT_BACK\""));
    EXPECT_THAT(read.str(), HasSubstr("\"exit_code\":0,\"result\":\"DFU_SUCCESS\""));
}

// A result reads the same in every run: a boot loader that never leaves after its reset.
TEST_F(SeveralDevicesTest, AllWordsAResultAsASingleUpdateDoes) {
    const ToolRun one = simulate(
        {"--sim-in-bootloader", "--sim-leave-delay", "40000", "--json", "update", image()});
    EXPECT_EQ(one.exitCode, kExitApTimeout) << one.err;
    const std::string message = nlohmann::json::parse(one.out)["message"];
    EXPECT_THAT(message, ::testing::Not(HasSubstr("3758096645")));
    const ToolRun all =
        simulate({"--sim-devices", "2", "--sim-fault-device", "1", "--sim-in-bootloader",
                  "--sim-leave-delay", "40000", "--json", "update", "--all", image()});
    EXPECT_EQ(all.exitCode, kExitApTimeout) << all.err;
    EXPECT_EQ(nlohmann::json::parse(all.out)["devices"][0]["message"], message) << all.out;
}

TEST_F(SeveralDevicesTest, StationLogsEachDeviceOnce) {
    const std::string log = dir_.path("station.log");
    std::ofstream(log) << "{\"earlier\":true}\n";  // appended to, never overwritten
    const ToolRun r = simulate({"--sim-devices", "3", "--sim-arrival-interval", "500", "station",
                                image(), "--log", log, "--count", "3"});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    std::ostringstream read;
    read << std::ifstream(log).rdbuf();
    const std::string content = read.str();
    const auto lines = Lines(content);
    ASSERT_EQ(lines.size(), 4u) << content;
    std::set<std::string> ports;
    for (std::size_t i = 1; i < lines.size(); ++i) {
        EXPECT_THAT(lines[i], HasSubstr("\"exit_code\":0,\"result\":\"DFU_SUCCESS\""));
        ports.insert(lines[i].substr(lines[i].find("\"port\":"), 14));
    }
    EXPECT_EQ(ports.size(), 3u);
}

#ifdef __linux__
// Every write to /dev/full fails for want of space: the lost line is named at once, no further
// device is started (the count of 2 is never reached, yet the station ends), and it exits 74.
TEST_F(SeveralDevicesTest, StationWhoseLogFailsStopsStartingDevicesAndExits74) {
    const ToolRun r =
        simulate({"--json", "station", image(), "--log", "/dev/full", "--count", "2"});
    EXPECT_EQ(r.exitCode, kExitOutputFailed);
    EXPECT_THAT(r.err, HasSubstr("/dev/full: the line of 1-1 could not be written to the log: "
                                 "No space left on device; no further device is started"));
    EXPECT_THAT(r.out, HasSubstr("\"result\":\"LOG_FAILED\",\"code\":29,\"exit_code\":74"));
}

TEST(StationLogFileTest, EachLineIsOnTheDiskOrItsFailureIsTold) {
    const TempDir dir;
    const std::string path = dir.path("station.log");
    int error = 0;
    std::string reason;
    auto log = StationLogFile::open(path, error, reason);
    ASSERT_TRUE(log) << reason;
    EXPECT_EQ(log->append("{\"a\":1}"), "");
    EXPECT_EQ(log->append("{\"b\":2}"), "");
    std::ostringstream read;
    read << std::ifstream(path).rdbuf();
    EXPECT_EQ(read.str(), "{\"a\":1}\n{\"b\":2}\n");

    auto full = StationLogFile::open("/dev/full", error, reason);
    ASSERT_TRUE(full) << reason;
    EXPECT_EQ(full->append("{}"), "No space left on device");
    EXPECT_FALSE(StationLogFile::open(dir.path("missing/station.log"), error, reason));
    EXPECT_EQ(error, ENOENT);
    EXPECT_EQ(reason, "No such file or directory");
    // A FIFO nobody reads is refused at once rather than waited on.
    const std::string fifo = dir.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(StationLogFile::open(fifo, error, reason));
    EXPECT_EQ(error, ENXIO);
    EXPECT_EQ(reason, "a FIFO with no reader");
}
#endif

TEST_F(SeveralDevicesTest, StationWithAFaultyUnitGoesOnAndReportsIt) {
    const ToolRun r =
        simulate({"--sim-devices", "2", "--sim-fault-device", "1", "--sim-refuse-reset", "--json",
                  "station", image(), "--count", "2"});
    EXPECT_EQ(r.exitCode, kExitEnterDfu);
    EXPECT_THAT(r.out, HasSubstr("\"port\":\"1-1\",\"serial\":\"SIM000001\",\"exit_code\":2"));
    EXPECT_THAT(r.out, HasSubstr("\"port\":\"1-2\",\"serial\":\"SIM000002\",\"exit_code\":0"));
    // -q is "errors only": the failed unit is still told.
    const ToolRun quiet =
        simulate({"--sim-devices", "2", "--sim-fault-device", "1", "--sim-refuse-reset", "-q",
                  "station", image(), "--count", "2"});
    EXPECT_EQ(quiet.exitCode, kExitEnterDfu);
    EXPECT_THAT(quiet.err, HasSubstr("1-1  SIM000001  DFU_ERR_ENTER_DFU"));
    EXPECT_THAT(quiet.err + quiet.out, Not(HasSubstr("1-2  SIM000002")));
}

TEST_F(SeveralDevicesTest, UnusableCombinationsAreUsageErrors) {
    for (const auto& args : std::vector<std::vector<std::string>>{
             {"--sim-devices", "0", "list"},
             {"--sim-devices", "2", "--sim-fault-device", "3", "list"},
             {"update", "--all", "--port", "1-1", "x.bin"},
             {"update", "--port", "", "x.bin"},
             {"station", "x.bin", "--count", "0"},
             // An empty value is never "not given".
             {"station", "x.bin", "--log", ""},
             {"station", "x.bin", "--count", ""},
             {"--sim-fault-device", "", "list"},
             {"--sim-fault-device", "0", "list"},
             {"--sim-arrival-interval", "", "list"},
             {"--sim-devices", "", "list"}}) {
        std::vector<std::string> full{"--simulate"};
        full.insert(full.end(), args.begin(), args.end());
        const ParsedCommandLine parsed = ParseCommandLine(full);
        EXPECT_FALSE(parsed.options) << full.back();
        EXPECT_EQ(parsed.exitCode, kExitUsage);
    }
    EXPECT_EQ(ParseCommandLine({"station", "x.bin"}).exitCode, kExitUsage);  // no --vid, --pid
    EXPECT_EQ(ParseCommandLine({"--sim-devices", "2", "list"}).exitCode, kExitUsage);
}

// The station on a bus of its own: a unit that stays plugged in is not updated again; unplugged
// and plugged back in, it is.
TEST(StationTest, ReplugedDeviceIsUpdatedAgain) {
    sim::Transcript transcript;
    transcript.setRecordReportBytes(false);
    sim::SimServices services(transcript);
    sim::SimBus bus(services.timeline(), transcript);
    sim::DeviceSpec spec = sim::DeviceSpec::target(0x5C3B, 0x0326);
    sim::SimDevice& device = bus.addDevice(spec);

    Options options;
    options.vid = 0x5C3B;
    options.pid = 0x0326;
    options.count = 2;
    FirmwareImage image;
    image.bytes.assign(500, 0x11);
    DownloadJob job{&image, 0, ImageChecksum(image.bytes.data(), image.bytes.size()), {}};

    std::atomic<int> started{0};
    std::atomic<int> finished{0};
    std::atomic<int> freed{0};
    StationOutput output;
    output.started = [&](const std::string&) { ++started; };
    output.finished = [&](const std::string&) { ++finished; };
    output.freed = [&](const std::string&) { ++freed; };
    StationSummary summary;
    {
        InterruptGuard guard;
        Station station(options, job, bus, services, guard, [&](ProgressDisplay& display) {
            return CommandContext{bus, services, display, guard, {}, {}, {}};
        });
        std::jthread runner([&] { summary = station.run(output); });
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        const auto waitFor = [&](const auto& done) {
            while (!done() && std::chrono::steady_clock::now() < deadline) {
                std::this_thread::sleep_for(std::chrono::milliseconds(2));
            }
        };
        // The first update is over and the unit is back in its application: it is left alone.
        waitFor([&] { return finished == 1 && device.mode() == sim::Mode::Application; });
        device.unplug();
        waitFor([&] { return freed == 1; });
        EXPECT_EQ(started.load(), 1);
        device.plugIn(sim::Mode::Application);
    }
    ASSERT_EQ(summary.finished.size(), 2u);
    EXPECT_EQ(started.load(), 2);
    EXPECT_EQ(device.memory().entriesToBootLoader, 2u);
    EXPECT_EQ(bus.held(), sim::Held{});
}

TEST(ProgressBoardTest, LinesArePrefixedWithTheirPortOffATerminal) {
    std::ostringstream out;
    ProgressBoard board(out, false, true, {"1-2", "1-10"});
    BoardLineStream second(board, 1);
    second << "Searching device...\n"
           << " 10%";
    EXPECT_EQ(out.str(), "1-10  Searching device...\n");  // an unfinished line waits
    BoardLineStream first(board, 0);
    first << "done\n";
    EXPECT_EQ(out.str(), "1-10  Searching device...\n1-2   done\n");
}

TEST(ProgressBoardTest, OnATerminalTheBlockIsRedrawnInPlace) {
    std::ostringstream out;
    ProgressBoard board(out, true, true, {"1-1", "1-2"});
    board.show(0, "a");
    board.show(1, "b");
    EXPECT_EQ(out.str(),
              "\x1b[2K1-1  a\n\x1b[2K1-2  \n"
              "\x1b[2F\x1b[2K1-1  a\n\x1b[2K1-2  b\n");
}

// One device's result, built field by field: mingw's optimiser warns (wrongly) that a nested
// aggregate initialised with {} may hold uninitialised strings.
DeviceResult MakeResult(std::string port, std::u16string serial, int exitCode, std::string result,
                        std::string message) {
    DeviceResult device;
    device.port = std::move(port);
    device.serial = std::move(serial);
    device.exitCode = exitCode;
    device.result = std::move(result);
    device.message = std::move(message);
    return device;
}

TEST(ResultTableTest, OneRowPerDeviceInPortOrder) {
    DeviceResult ok = MakeResult("1-2", u"A1", 0, "DFU_SUCCESS", "");
    ok.outcome.seconds = 4.25;
    ok.outcome.versionBefore = 0x0101;
    ok.outcome.versionAfter = 0x0102;
    DeviceResult bad = MakeResult("1-10", u"", 6, "DFU_ERR_VERIFY", "");
    EXPECT_EQ(FormatResultTable({ok, bad}),
              "port  serial  result          version  seconds\n"
              "1-2   A1      DFU_SUCCESS     1.02     4.2\n"
              "1-10  -       DFU_ERR_VERIFY  -        0.0\n");
    bad.slot = "s2";
    EXPECT_EQ(FormatResultTable({ok, bad}),
              "port  slot  serial  result          version  seconds\n"
              "1-2   -     A1      DFU_SUCCESS     1.02     4.2\n"
              "1-10  s2    -       DFU_ERR_VERIFY  -        0.0\n");
    AllDevicesResult all;
    all.devices = {ok, bad, MakeResult("1-11", u"", 2, "DFU_ERR_ENTER_DFU", "")};
    EXPECT_EQ(AllDevicesExitCode(all), kExitVerify);
    EXPECT_EQ(AllDevicesExitCode(AllDevicesResult{}), kExitNotFound);
}

TEST(StationLogTest, OneObjectPerLineWithTimeAndChecksums) {
    DeviceResult device = MakeResult("1-3", u"S\"7", 0, "DFU_SUCCESS", "ok");
    device.outcome.reportedChecksum = 0x1234;
    device.outcome.bytesSent = 10;
    FirmwareImage image;
    image.bytes.assign(10, 1);
    const DownloadJob job{&image, 0, 0x11234, "ab"};
    EXPECT_EQ(StationLogLine(device, job, 0),
              "{\"time\":\"1970-01-01T00:00:00Z\",\"port\":\"1-3\","
              "\"serial\":\"S\\\"7\","
              "\"exit_code\":0,\"result\":\"DFU_SUCCESS\",\"message\":\"ok\",\"bytes_sent\":10,"
              "\"seconds\":0.0,\"duration_ms\":0,\"expected_checksum\":4660,"
              "\"reported_checksum\":4660,\"slot\":null,\"image_sha256\":\"ab\",\"image_size\":10,"
              "\"version_before\":null,\"version_after\":null,\"phase_ms\":{\"enter\":null,"
              "\"wait_boot_loader\":null,\"download\":null,\"verify\":null,\"return\":null}}");
}

}  // namespace
}  // namespace tolvane::cli
