// --record, --replay and show-recording through the whole tool, in-process: a replay touches
// nothing of the real platform (strict mocks), ends as recorded, and ends with its own exit code
// at the first call that differs.
#include "output/exit_codes.h"
#include "tool_bench.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <filesystem>
#include <fstream>
#include <sstream>

namespace tolvane::cli {
namespace {

using ::testing::HasSubstr;
using tolvane::test::TempDir;

class RecordToolTest : public ToolBenchTest {
protected:
    std::string image(const std::string& name, std::uint8_t fill) {
        std::vector<std::uint8_t> bytes(3000, fill);
        bytes[0] = 0x11;
        return dir_.write(name, bytes);
    }
    std::string record(const std::string& imagePath) {
        const std::string file = dir_.path("r.jsonl");
        const ToolRun recorded =
            run({"--record", file, "--simulate", "--sim-fast", "update", imagePath});
        EXPECT_EQ(recorded.exitCode, kExitSuccess) << recorded.err;
        return file;
    }
};

TEST_F(RecordToolTest, ReplayOfTheSameCommandEndsAsRecorded) {
    const std::string sample = image("fw.bin", 0x5A);
    const std::string file = record(sample);
    const ToolRun replayed = run({"--replay", file, "update", sample});
    EXPECT_EQ(replayed.exitCode, kExitSuccess) << replayed.err;
    EXPECT_THAT(replayed.out, HasSubstr("F/W update successfully !"));
    // Nobody reading the outcome takes a replay for an update of a device.
    EXPECT_THAT(replayed.out, HasSubstr("Replayed from the recording " + file));
    const ToolRun json = run({"--json", "--replay", file, "update", sample});
    const auto data = nlohmann::json::parse(json.out);
    EXPECT_EQ(data["replayed"], true);
    EXPECT_EQ(data["replay"], file);
}

TEST_F(RecordToolTest, ReplayWithAnotherImageNamesTheFirstDifferingReport) {
    const std::string file = record(image("fw.bin", 0x5A));
    const ToolRun replayed = run({"--replay", file, "update", image("other.bin", 0x5B)});
    EXPECT_EQ(replayed.exitCode, kExitReplayMismatch);
    EXPECT_THAT(replayed.err, HasSubstr(": recorded {"));
    EXPECT_THAT(replayed.err, HasSubstr("but the run asked {\"op\":\"set\""));
}

// A run that leaves its recording while it walks the interface list ends there with 9, rather
// than asking for every index up to 2^32.
TEST_F(RecordToolTest, ReplayThatLeavesItsRecordingInASearchEndsAtOnce) {
    const std::string file = record(image("fw.bin", 0x5A));
    std::ostringstream read;
    read << std::ifstream(file, std::ios::binary).rdbuf();
    std::string text = read.str();
    const std::string firstLookup = "\"op\":\"path\",\"i\":0";
    const std::size_t at = text.find(firstLookup);
    ASSERT_NE(at, std::string::npos) << text.substr(0, 600);
    text.replace(at, firstLookup.size(), "\"op\":\"path\",\"i\":7");
    std::ofstream(file, std::ios::binary | std::ios::trunc) << text;
    const ToolRun replayed = run({"--replay", file, "update", image("fw.bin", 0x5A)});
    EXPECT_EQ(replayed.exitCode, kExitReplayMismatch) << replayed.err;
    EXPECT_THAT(replayed.err, HasSubstr("but the run asked {\"op\":\"path\",\"i\":0"));
}

TEST_F(RecordToolTest, ShowRecordingPrintsATimelineOrData) {
    const std::string file = record(image("fw.bin", 0x5A));
    const ToolRun text = run({"show-recording", file});
    EXPECT_EQ(text.exitCode, kExitSuccess) << text.err;
    EXPECT_THAT(text.out, HasSubstr("Recording of tolvane --record"));
    EXPECT_THAT(text.out, HasSubstr("wait for event 1 (at most 30000 ms): signaled after"));
    EXPECT_THAT(text.out, HasSubstr("data reports of 65 bytes (hashed)"));
    EXPECT_THAT(text.out, HasSubstr("Where the time went"));
    // Each step heads its calls, and the time each took follows.
    const std::vector<std::string> titles = {
        "finding the device", "entering the boot loader", "waiting for the boot loader", "download",
        "verification",       "return to the application"};
    std::size_t at = 0;
    for (const std::string& title : titles) {
        at = text.out.find("  -- " + title + "\n", at);
        EXPECT_NE(at, std::string::npos) << title << " missing or out of order:\n" << text.out;
    }
    EXPECT_THAT(text.out, HasSubstr("The steps:\n  finding the device"));
    const ToolRun json = run({"show-recording", "--json", file});
    ASSERT_EQ(json.exitCode, kExitSuccess) << json.err;
    const auto data = nlohmann::json::parse(json.out);
    EXPECT_EQ(data["header"]["image_size"], 3000);
    EXPECT_EQ(data["calls"][0]["op"], "list");
    EXPECT_EQ(data["calls"][0]["step"], "finding");
    EXPECT_GT(data["time_us"]["wait"].get<std::uint64_t>(), 0u);
    std::vector<std::string> steps;
    for (const auto& step : data["steps"]) steps.push_back(step["step"]);
    EXPECT_EQ(steps, (std::vector<std::string>{"finding", "entering_boot_loader", "waiting",
                                               "download", "verification", "return"}));
    EXPECT_GT(data["steps"][2]["us"].get<std::uint64_t>(), 1'000'000u);  // the re-enumeration
    // One thread at work: where the time went adds up to no more than the steps took (a call
    // once counted the wait after it, and the wait itself counted too).
    std::uint64_t stepsUs = 0, spentUs = 0;
    for (const auto& step : data["steps"]) stepsUs += step["us"].get<std::uint64_t>();
    for (const auto& [op, us] : data["time_us"].items()) spentUs += us.get<std::uint64_t>();
    EXPECT_LE(spentUs, stepsUs);
    EXPECT_TRUE(!data["time_us"].contains("close") || data["time_us"]["close"] == 0);
}

// A failed update replays to the same exit code, its 30-second wait at once, and the timeline says
// what ended the wait and where the time went.
TEST_F(RecordToolTest, AFailedUpdateReplaysToItsExitCodeAndShowsItsWait) {
    const std::string sample = image("fw.bin", 0x5A);
    const std::string file = dir_.path("failed.jsonl");
    const ToolRun recorded =
        run({"--record", file, "--simulate", "--sim-fast", "--sim-never-enters", "update", sample});
    ASSERT_EQ(recorded.exitCode, kExitDfuTimeout) << recorded.err;
    const ToolRun replayed = run({"--replay", file, "update", sample});
    EXPECT_EQ(replayed.exitCode, kExitDfuTimeout) << replayed.err;
    const ToolRun text = run({"show-recording", file});
    EXPECT_THAT(text.out, HasSubstr("(at most 30000 ms): timed_out after 30000.000 ms"));
    EXPECT_THAT(text.out, HasSubstr("  wait              30000.000 ms"));
}

TEST_F(RecordToolTest, RefusesWhatCannotBeRecordedOrReplayed) {
    const std::string sample = image("fw.bin", 0x5A);
    const std::string notRecording = dir_.write("not.jsonl", std::string("hello\n"));
    struct Case {
        std::vector<std::string> args;
        int exitCode;
        const char* says;
    };
    const std::vector<Case> cases = {
        {{"--replay", notRecording, "update", sample}, kExitBadImage, "not a recording line"},
        {{"--replay", dir_.path("missing"), "update", sample}, kExitUnreadable, "cannot open"},
        {{"--replay", notRecording, "list"}, kExitUsage, "--replay is for update"},
        {{"--record-full", "update", "--simulate", sample}, kExitUsage, "--record-full"},
        {{"--record", dir_.path("no/such/dir/r.jsonl"), "--simulate", "--sim-fast", "update",
          sample},
         kExitOutputFailed,
         "cannot write the recording: No such file or directory"},
        {{"--record", "", "--simulate", "update", sample}, kExitUsage, "--record: an empty value"},
        {{"--replay", "", "update", sample}, kExitUsage, "--replay: an empty value"},
        {{"--record", sample, "--simulate", "update", sample},
         kExitUsage,
         "is the same file as the image"},
        {{"show-recording", notRecording}, kExitBadImage, "not a recording line"},
        {{"show-recording", dir_.path("missing")}, kExitUnreadable, "cannot open"},
        {{"show-recording"}, kExitUsage, "takes one FILE"},
    };
    for (const Case& c : cases) {
        const ToolRun refused = run(c.args);
        EXPECT_EQ(refused.exitCode, c.exitCode) << c.args[0] << " " << c.args[1] << refused.err;
        EXPECT_THAT(refused.err, HasSubstr(c.says)) << c.args[0];
    }
    EXPECT_EQ(std::filesystem::file_size(sample), 3000u) << "the image was not overwritten";
}

// A recording edited by hand or by an attacker: refused as bad data with the line that is wrong,
// never "stoul" and exit 7.
TEST_F(RecordToolTest, HostileRecordingsAreRefusedAsBadData) {
    const std::string sample = image("fw.bin", 0x5A);
    std::ostringstream good;
    good << std::ifstream(record(sample)).rdbuf();
    const std::string header = good.str().substr(0, good.str().find('\n') + 1);
    const std::pair<std::string, const char*> recordings[] = {
        {R"({"op":"recording","version":1,"tool":"\uZZZZ"})"
         "\n",
         "line 1 is not a recording line"},
        {header + R"({"op":"list","ok":true,"t":18446744073709551616})"
                  "\n",
         "line 2: \"t\" is 18446744073709551616, not a whole number"},
    };
    for (const auto& [text, says] : recordings) {
        const std::string file = dir_.write("hostile.jsonl", text);
        for (const std::vector<std::string>& args :
             {std::vector<std::string>{"--replay", file, "update", sample},
              std::vector<std::string>{"show-recording", file}}) {
            const ToolRun r = run(args);
            EXPECT_EQ(r.exitCode, kExitBadImage) << args[0] << ": " << r.err;
            EXPECT_THAT(r.err, HasSubstr(says)) << args[0];
        }
    }
}

TEST_F(RecordToolTest, ShowRecordingTakesTheGlobalFlagsAndReplayIsNeverIgnored) {
    const std::string file = record(image("fw.bin", 0x5A));
    const ToolRun json = run({"--json", "show-recording", file});
    EXPECT_EQ(json.exitCode, kExitSuccess) << json.err;
    EXPECT_EQ(nlohmann::json::parse(json.out)["header"]["image_size"], 3000);
    for (const std::vector<std::string>& quiet :
         {std::vector<std::string>{"-q", "show-recording", file},
          std::vector<std::string>{"show-recording", "--quiet", file}}) {
        const ToolRun r = run(quiet);
        EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
        EXPECT_EQ(r.out, "");
    }
    EXPECT_THAT(run({"--help"}).out, HasSubstr("show-recording"));
    const std::string log = dir_.write("station.log", std::string());
    for (const std::vector<std::string>& refused :
         {std::vector<std::string>{"--simulate", "show-recording", file},
          std::vector<std::string>{"--replay", file, "report", log},
          std::vector<std::string>{"--replay", file, "install-udev-rules"},
          std::vector<std::string>{"--replay", file, "--simulate", "station", file}}) {
        const ToolRun r = run(refused);
        EXPECT_EQ(r.exitCode, kExitUsage) << refused[0] << " " << refused[2] << r.err;
    }
}

#ifndef _WIN32
// A recording cut short by a full disk is no silent success: the run says so and ends 74, its
// JSON naming the failure; a run that failed anyway keeps its own exit code.
TEST_F(RecordToolTest, ARecordingThatCouldNotBeWrittenIsAWarningAndExit74) {
    const std::string sample = image("fw.bin", 0x5A);
    const ToolRun full =
        run({"--json", "--record", "/dev/full", "--simulate", "--sim-fast", "update", sample});
    EXPECT_EQ(full.exitCode, kExitOutputFailed) << full.err;
    EXPECT_THAT(full.err, HasSubstr("warning: /dev/full: the recording could not be written "
                                    "whole: No space left on device"));
    EXPECT_THAT(full.out, HasSubstr("\"recording_failed\":"));
    EXPECT_THAT(full.out, HasSubstr("\"exit_code\":74"));
    const ToolRun failed = run({"--record", "/dev/full", "--simulate", "--sim-fast",
                                "--sim-wrong-checksum", "update", sample});
    EXPECT_EQ(failed.exitCode, kExitVerify) << failed.err;
    EXPECT_THAT(failed.err, HasSubstr("the recording could not be written whole"));
}
#endif

}  // namespace
}  // namespace tolvane::cli
