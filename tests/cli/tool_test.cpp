// The whole tool run in-process: refusals before anything is touched, and runs against the
// virtual target on the virtual clock.
#include "output/exit_codes.h"
#include "tool_bench.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

namespace tolvane::cli {
namespace {

using ::testing::HasSubstr;
using ::testing::IsEmpty;
using tolvane::test::TempDir;

// The real platform is a pair of strict mocks: any call on them fails the test.
class ToolTest : public ToolBenchTest {
protected:
    std::string sample() { return dir_.write("fw.bin", std::vector<std::uint8_t>(1000, 0x5A)); }
};

TEST_F(ToolTest, BadHexImageIsRefusedWithFileAndLine) {
    const std::string path = dir_.write("fw.hex", ":0100000042BD\n:01000100G3BB\n:00000001FF\n");
    const ToolRun r = run({"update", path, "--vid", "1234", "--pid", "5678"});
    EXPECT_EQ(r.exitCode, kExitBadImage);
    EXPECT_EQ(r.err, "tolvane: " + path + ": line 2: bad hexadecimal digit 'G' in column 10\n");
    EXPECT_THAT(r.out, IsEmpty());
}

TEST_F(ToolTest, EveryImageRefusalComesBeforeTheDevice) {
    const std::string empty = dir_.write("empty.bin", std::string());
    const std::string noEnd = dir_.write("noend.hex", ":0100000042BD\n");
    const std::string overlap =
        dir_.write("overlap.hex", ":0100000042BD\n:0100000042BD\n:00000001FF\n");
    const std::string high =
        dir_.write("high.hex", ":020000040800F2\n:0100000042BD\n:00000001FF\n");
    const std::string big = dir_.write("big.bin", std::string(16777216, '\0'));
    for (const auto& [path, part] : std::vector<std::pair<std::string, std::string>>{
             {empty, "the image is empty"},
             {noEnd, "line 1: missing end-of-file record"},
             {overlap, "line 2: data at 0x00000000 overlaps data from line 1"},
             {high, "the lowest address 0x08000000 does not fit"},
             {big, "16777216 bytes or more"}}) {
        const ToolRun r = run({"download", path});
        EXPECT_EQ(r.exitCode, kExitBadImage) << path;
        EXPECT_THAT(r.err, HasSubstr(path + ": "));
        EXPECT_THAT(r.err, HasSubstr(part));
    }
}

TEST_F(ToolTest, HighHexAddressIsFineWithAnExplicitAddress) {
    const std::string high =
        dir_.write("high.hex", ":020000040800F2\n:0100000042BD\n:00000001FF\n");
    const ToolRun r = run(
        {"download", high, "--address", "0", "--simulate", "--sim-fast", "--sim-in-bootloader"});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
}

TEST_F(ToolTest, UnreadableImage) {
    const ToolRun r = run({"update", dir_.path("missing.bin"), "--simulate"});
    EXPECT_EQ(r.exitCode, kExitUnreadable);
    EXPECT_THAT(r.err, HasSubstr(dir_.path("missing.bin") + ": cannot read the image"));
}

TEST_F(ToolTest, UsageErrorsTouchNothing) {
    EXPECT_EQ(run({"update", sample()}).exitCode, kExitUsage);
    EXPECT_EQ(run({"update", sample(), "--vid", "zz", "--pid", "1"}).exitCode, kExitUsage);
    EXPECT_EQ(run({"bogus"}).exitCode, kExitUsage);
    const ToolRun r = run({"list", "--sim-never-enters"});
    EXPECT_EQ(r.exitCode, kExitUsage);
    EXPECT_THAT(r.err, HasSubstr("--sim-never-enters needs --simulate"));
}

TEST_F(ToolTest, HelpPrintsTheExitCodes) {
    const ToolRun r = run({"--help"});
    EXPECT_EQ(r.exitCode, 0);
    EXPECT_THAT(r.out, HasSubstr("Exit codes:"));
    EXPECT_THAT(r.out, HasSubstr("update"));
    EXPECT_THAT(r.out, HasSubstr("--sim-wrong-checksum"));
}

TEST_F(ToolTest, RefusalWithJsonPrintsItsObject) {
    const std::string empty = dir_.write("empty.bin", std::string());
    const ToolRun r = run({"--json", "download", empty});
    EXPECT_EQ(r.exitCode, kExitBadImage);
    EXPECT_THAT(r.out, HasSubstr("\"result\":\"BAD_IMAGE\""));
    EXPECT_THAT(r.out, HasSubstr("\"exit_code\":65"));
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1);
}

TEST_F(ToolTest, SimulatedUpdateSucceedsAndTheMemoryEqualsTheImage) {
    const ToolRun r = run({"update", sample(), "--simulate", "--sim-fast"});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Searching device...\n"));
    EXPECT_THAT(r.out, HasSubstr("100%  1000/1000 bytes"));
    EXPECT_THAT(r.out, HasSubstr("Resetting to the application...\n"));
    EXPECT_THAT(r.out, HasSubstr("F/W update successfully !\n"));
    EXPECT_THAT(r.out, HasSubstr("Virtual device: its memory equals the image.\n"));
    EXPECT_THAT(r.err, IsEmpty());
}

TEST_F(ToolTest, JsonObjectOfAFailedVerification) {
    const ToolRun r =
        run({"update", sample(), "--simulate", "--sim-fast", "--sim-wrong-checksum", "--json"});
    EXPECT_EQ(r.exitCode, kExitVerify);
    // 1000 bytes of 0x5A sum to 90000 = 0x15F90; the boot loader is one off.
    EXPECT_THAT(r.out, HasSubstr("\"command\":\"update\""));
    EXPECT_THAT(r.out, HasSubstr("\"result\":\"DFU_ERR_VERIFY\""));
    EXPECT_THAT(r.out, HasSubstr("\"code\":3758096647"));
    EXPECT_THAT(r.out, HasSubstr("\"exit_code\":6"));
    EXPECT_THAT(r.out, HasSubstr("\"message\":\"DFU update / verify / checksum fail !\""));
    EXPECT_THAT(r.out, HasSubstr("\"bytes_sent\":1000,\"bytes_total\":1000"));
    EXPECT_THAT(r.out, HasSubstr("\"expected_checksum\":24464"));
    EXPECT_THAT(r.out, HasSubstr("\"reported_checksum\":24465"));
    EXPECT_THAT(r.out, HasSubstr("\"simulated\":true"));
    EXPECT_THAT(r.out, HasSubstr("\"memory_matches\":true"));
    EXPECT_THAT(r.out, HasSubstr("\"device_checksum\":24464"));
    EXPECT_EQ(r.out.front(), '{');
    EXPECT_EQ(r.out.substr(r.out.size() - 2), "}\n");
    // With --json the human text goes to standard error.
    EXPECT_THAT(r.err, HasSubstr("Searching device..."));
}

TEST_F(ToolTest, ExplicitChecksumIsWhatGetsCompared) {
    const ToolRun wrong = run({"update", sample(), "--simulate", "--sim-fast", "--checksum", "1"});
    EXPECT_EQ(wrong.exitCode, kExitVerify);
    const ToolRun right =
        run({"update", sample(), "--simulate", "--sim-fast", "--checksum", "0x15F90"});
    EXPECT_EQ(right.exitCode, kExitSuccess) << right.err;
}

TEST_F(ToolTest, HexImageGoesToItsLowestAddress) {
    const std::string path = dir_.write("fw.hex", ":0401000001020304F1\n:00000001FF\n");
    const ToolRun r = run({"download", path, "--simulate", "--sim-fast", "--sim-in-bootloader"});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    EXPECT_THAT(r.out, HasSubstr("Image downloaded and verified: 4 bytes at 0x000100"));
    EXPECT_THAT(r.out, HasSubstr("its memory equals the image"));
}

TEST_F(ToolTest, SingleSteps) {
    const ToolRun isp = run({"reset-to-isp", "--simulate", "--sim-fast"});
    EXPECT_EQ(isp.exitCode, kExitSuccess) << isp.err;
    EXPECT_THAT(isp.out, HasSubstr("The device is in its boot loader."));
    const ToolRun already =
        run({"reset-to-isp", "--simulate", "--sim-fast", "--sim-in-bootloader"});
    EXPECT_EQ(already.exitCode, kExitSuccess);
    EXPECT_THAT(already.out, HasSubstr("already in its boot loader"));
    const ToolRun ap = run({"reset-to-ap", "--simulate", "--sim-fast", "--sim-in-bootloader"});
    EXPECT_EQ(ap.exitCode, kExitSuccess);
    EXPECT_THAT(ap.out, HasSubstr("The device is back in its application."));
    const ToolRun noLoader = run({"reset-to-ap", "--simulate", "--sim-fast"});
    EXPECT_EQ(noLoader.exitCode, kExitNotFound);
    EXPECT_THAT(noLoader.err, HasSubstr("Device (VID=0x5C3B/PID=0x030B) not found !"));
}

TEST_F(ToolTest, QuietPrintsOnlyErrors) {
    const ToolRun ok = run({"-q", "update", sample(), "--simulate", "--sim-fast"});
    EXPECT_EQ(ok.exitCode, kExitSuccess);
    EXPECT_THAT(ok.out, IsEmpty());
    EXPECT_THAT(ok.err, IsEmpty());
    const ToolRun failed =
        run({"-q", "update", sample(), "--simulate", "--sim-fast", "--sim-never-enters"});
    EXPECT_EQ(failed.exitCode, kExitDfuTimeout);
    EXPECT_THAT(failed.out, IsEmpty());
    EXPECT_THAT(failed.err, HasSubstr("Search DFU(VID=0x5C3B, PID=0x030B) timeout fail !"));
    EXPECT_THAT(failed.err, HasSubstr("DFU_ERR_DFU_TIMEOUT"));
}

TEST_F(ToolTest, VerboseLogsEveryReportWithItsTime) {
    const ToolRun r = run({"-v", "update", sample(), "--simulate", "--sim-fast"});
    EXPECT_EQ(r.exitCode, kExitSuccess);
    EXPECT_THAT(r.err, HasSubstr("] #1 open \\\\?\\hid#vid_5c3b&pid_0326"));
    EXPECT_THAT(r.err, HasSubstr("set feature  -> 00 "));
    EXPECT_THAT(r.err, HasSubstr("get feature  <- 00 "));
    // 1000 bytes in 64-byte reports: 16 data reports, plus the queries and the setup.
    std::size_t sets = 0;
    for (std::size_t at = r.err.find("set feature  ->"); at != std::string::npos;
         at = r.err.find("set feature  ->", at + 1)) {
        ++sets;
    }
    EXPECT_GE(sets, 16u + 3u);
}

TEST_F(ToolTest, SystemErrorPrintsItsNumber) {
    const ToolRun r =
        run({"update", sample(), "--simulate", "--sim-fast", "--sim-unplug-at", "2", "--json"});
    EXPECT_EQ(r.exitCode, kExitSystemError);
    EXPECT_THAT(r.err, HasSubstr("Error code: 1167"));
    EXPECT_THAT(r.out, HasSubstr("\"result\":\"SYSTEM_ERROR\",\"code\":1167"));
    // One 64-byte report of 1000 went through: the count is the bytes the device took, not 6 %
    // of the image.
    EXPECT_THAT(r.out, HasSubstr("\"bytes_sent\":64,"));
    EXPECT_THAT(r.out, HasSubstr("\"memory_matches\":false"));
}

// A boot loader that takes a data report and holds its status stage: within the report's 30 s the
// update goes on; past them it fails with the cancellation, the report sent once.
TEST_F(ToolTest, HeldDataReportSucceedsWithinItsLimitAndIsNeverSentTwice) {
    const ToolRun within = run(
        {"update", sample(), "--simulate", "--sim-fast", "--sim-hold-report", "3:6000", "--json"});
    EXPECT_EQ(within.exitCode, kExitSuccess) << within.err;
    EXPECT_THAT(within.out, HasSubstr("\"memory_matches\":true"));

    const ToolRun past = run({"-v", "update", sample(), "--simulate", "--sim-fast",
                              "--sim-hold-report", "3:40000", "--json"});
    EXPECT_EQ(past.exitCode, kExitSystemError);
    EXPECT_THAT(past.out, HasSubstr("\"code\":995"));
    EXPECT_THAT(past.out, HasSubstr("\"memory_matches\":false"));
    // The reset, the start query, the setup and the three data reports, each once: the third
    // cancelled at its limit and never sent again.
    std::vector<std::string> sets;
    std::istringstream lines(past.err);
    for (std::string line; std::getline(lines, line);) {
        if (line.find("set feature  ->") != std::string::npos) sets.push_back(line);
    }
    ASSERT_EQ(sets.size(), 1u + 2u + 3u) << past.err;
    EXPECT_THAT(sets.back(), HasSubstr("error 995"));
}

TEST_F(ToolTest, ListShowsTheVirtualDevices) {
    const ToolRun app = run({"list", "--simulate", "--sim-fast"});
    EXPECT_EQ(app.exitCode, kExitSuccess);
    EXPECT_THAT(app.out, HasSubstr("5c3b:0326  in  65  out  65  feature  65  \\\\?\\hid#vid_5c3b"));
    EXPECT_THAT(app.out, ::testing::Not(HasSubstr("[boot loader]")));
    const ToolRun loader = run({"list", "--simulate", "--sim-fast", "--sim-in-bootloader",
                                "--sim-report-length", "9", "--json"});
    EXPECT_THAT(loader.out, HasSubstr("\"pid\":779"));
    EXPECT_THAT(loader.out, HasSubstr("\"feature_report_length\":9"));
    EXPECT_THAT(loader.out, HasSubstr("\"boot_loader\":true"));
}

TEST_F(ToolTest, ListWithoutAnInterfaceListIsASystemError) {
    EXPECT_CALL(bench_.mockBus(), listInterfaces()).WillOnce([] { return nullptr; });
    const ToolRun r = run({"list"});
    EXPECT_EQ(r.exitCode, kExitSystemError);
    EXPECT_THAT(r.err, HasSubstr("no list of HID interfaces"));
}

}  // namespace
}  // namespace tolvane::cli
