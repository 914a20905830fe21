// Interrupts during an in-process run: raised by the test at a chosen report, on the engine's own
// thread, so that the moment is exact although the run takes no real time.
#include "output/exit_codes.h"
#include "system/interrupt_guard.h"
#include "temp_dir.h"
#include "tool_bench.h"
#include "update/interrupt_report.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

namespace tolvane::cli {
namespace {

using test::ToolBench;
using ::testing::HasSubstr;
using tolvane::test::TempDir;

class ToolInterruptTest : public ToolBenchTest {
protected:
    ToolInterruptTest() : ToolBenchTest(sim::VirtualTargetOptions{}) {}
    std::string image() { return dir_.write("fw.bin", test::CountingImage(4000)); }

    // A hook that raises `times` interrupts when the `at`-th report goes out.
    test::RunHooks interruptAt(int at, int times) {
        return {.report = [this, at, times](std::span<const std::uint8_t>) {
            if (++reports_ == at) bench_.interrupts.raise(times);
        }};
    }
    int reports_ = 0;
};

TEST_F(ToolInterruptTest, OneInterruptDuringTheDownloadLetsTheUpdateFinish) {
    const auto r =
        bench_.run({"update", image(), "--vid", "5C3B", "--pid", "0326"}, interruptAt(10, 1));
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    EXPECT_THAT(r.err, HasSubstr("the update is writing the firmware: stopping now would leave "
                                 "the device unusable until it is power-cycled"));
    EXPECT_EQ(bench_.memory().image, test::CountingImage(4000));
    EXPECT_EQ(bench_.memory().entriesToApplication, 1u);
}

TEST_F(ToolInterruptTest, TwoInterruptsStillLetItFinishAndTheNoticeComesOnce) {
    const auto r =
        bench_.run({"update", image(), "--vid", "5C3B", "--pid", "0326"}, interruptAt(10, 2));
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    const std::string notice = "stopping now would leave";
    EXPECT_EQ(r.err.find(notice), r.err.rfind(notice));
    EXPECT_EQ(bench_.memory().image, test::CountingImage(4000));
}

TEST_F(ToolInterruptTest, ThreeInterruptsAbortAndTellTheStepAndTheDeviceState) {
    const auto r = bench_.run({"--json", "update", image(), "--vid", "5C3B", "--pid", "0326"},
                              interruptAt(10, 3));
    EXPECT_EQ(r.exitCode, kExitInterrupted);
    EXPECT_THAT(r.err, HasSubstr("interrupted while writing the firmware"));
    EXPECT_THAT(r.err, HasSubstr("only partly written"));
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["result"], "INTERRUPTED");
    EXPECT_EQ(json["exit_code"], 130);
    EXPECT_EQ(json["step"], "writing the firmware");
    EXPECT_EQ(json["device_written"], true);
}

// With several devices at work, the third interrupt describes each by its port, and the JSON
// object has a `devices` array with each one's step, state and bytes.
TEST_F(ToolInterruptTest, ThreeInterruptsWithSeveralDevicesDescribeEachPort) {
    sim::DeviceSpec second = sim::VirtualTarget::specFor({});
    second.port = "1-2";
    bench_.bus().addDevice(second);
    const auto r =
        bench_.run({"--json", "update", "--all", image(), "--vid", "5C3B", "--pid", "0326"},
                   interruptAt(30, 3));
    EXPECT_EQ(r.exitCode, kExitInterrupted);
    EXPECT_THAT(r.err, HasSubstr("interrupted with 2 device(s) at work"));
    EXPECT_THAT(r.err, HasSubstr("tolvane:   1-1: "));
    EXPECT_THAT(r.err, HasSubstr("tolvane:   1-2: "));
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["result"], "INTERRUPTED");
    ASSERT_EQ(json["devices"].size(), 2u);
    std::uint64_t total = 0;
    bool anyWritten = false;
    for (std::size_t i = 0; i < 2; ++i) {
        const auto& device = json["devices"][i];
        EXPECT_EQ(device["port"], i == 0 ? "1-1" : "1-2");
        anyWritten = anyWritten || device["device_written"].get<bool>();
        EXPECT_FALSE(device["step"].get<std::string>().empty());
        EXPECT_FALSE(device["state"].get<std::string>().empty());
        EXPECT_LE(device["bytes_sent"].get<std::uint64_t>(), 4000u);
        total += device["bytes_sent"].get<std::uint64_t>();
    }
    EXPECT_TRUE(anyWritten);
    EXPECT_EQ(json["bytes_sent"], total);
}

TEST_F(ToolInterruptTest, InterruptDuringTheResetToTheApplicationNamesThatStep) {
    ToolBench inBootLoader(sim::VirtualTargetOptions{.startsInBootLoader = true});
    const auto r = inBootLoader.run({"reset-to-ap"}, {.report = [&](std::span<const std::uint8_t>) {
                                        inBootLoader.interrupts.raise(3);
                                    }});
    EXPECT_EQ(r.exitCode, kExitInterrupted);
    EXPECT_THAT(r.err, HasSubstr("interrupted while restarting the application"));
}

TEST_F(ToolInterruptTest, AnInterruptBeforeAnythingIsSentEndsTheRunAtOnce) {
    // No boot loader: the download looks for it in passes, and sends nothing meanwhile.
    int listings = 0;
    const auto r = bench_.run({"--json", "download", image()}, {.listing = [&] {
                                  if (++listings == 2) bench_.interrupts.raise();
                              }});
    EXPECT_EQ(r.exitCode, kExitInterrupted);
    EXPECT_THAT(r.err, HasSubstr("interrupted while looking for the device: nothing was sent"));
    const auto json = nlohmann::json::parse(r.out);
    EXPECT_EQ(json["exit_code"], 130);
    EXPECT_EQ(json["device_written"], false);
    EXPECT_EQ(bench_.memory().startQueries, 0u);
}

TEST(InterruptGuard, BeforeAnyWriteTheFirstInterruptAborts) {
    InterruptGuard guard;
    guard.enterStep(UpdateStep::Download);
    guard.interrupt();
    EXPECT_TRUE(guard.abortRequested());
    EXPECT_EQ(guard.abortStep(), RunStep{UpdateStep::Download});
    EXPECT_FALSE(guard.abortAfterWrite());
    EXPECT_FALSE(guard.takeNotice());
}

TEST(InterruptGuard, AfterAWriteOnlyTheThirdAborts) {
    InterruptGuard guard;
    guard.enterStep(UpdateStep::EnterBootLoader);
    guard.deviceWritten();
    guard.interrupt();
    EXPECT_FALSE(guard.abortRequested());
    EXPECT_TRUE(guard.takeNotice());
    EXPECT_FALSE(guard.takeNotice());
    guard.enterStep(UpdateStep::Download);
    guard.interrupt();
    EXPECT_FALSE(guard.abortRequested());
    EXPECT_FALSE(guard.takeNotice());
    guard.interrupt();
    EXPECT_TRUE(guard.abortRequested());
    EXPECT_EQ(guard.abortStep(), RunStep{UpdateStep::Download});
    EXPECT_TRUE(guard.abortAfterWrite());
    // The step at the moment of the decision stays, whatever the run does afterwards.
    guard.enterStep(RunStage::Finishing);
    EXPECT_EQ(guard.abortStep(), RunStep{UpdateStep::Download});
}

// Every step a run can be interrupted in, written to or not: the words the tool prints for it.
TEST(InterruptedStep, EachStepTellsItsNameAndTheDevicesLikelyState) {
    const std::string untouched = "nothing was sent to the device; it is as it was.";
    const std::string inBootLoader = "the device was told to restart into its boot loader";
    const std::string partlyWritten = "the device is in its boot loader with the new firmware only";
    const std::string restarting = "the new firmware was written and verified";
    const struct {
        RunStep step;
        bool written;
        const char* name;
        std::string state;
    } cases[] = {
        {RunStage::Preparing, false, "preparing", untouched},
        {RunStage::Listing, false, "listing the interfaces", untouched},
        {RunStage::Finishing, true, "reporting the outcome",
         "the device's part of the run had ended."},
        {UpdateStep::EnterBootLoader, false, "looking for the device", untouched},
        {UpdateStep::Download, false, "looking for the device", untouched},
        {UpdateStep::Finding, true, "entering the boot loader", inBootLoader},
        {UpdateStep::EnterBootLoader, true, "entering the boot loader", inBootLoader},
        {UpdateStep::Waiting, true, "entering the boot loader", inBootLoader},
        {UpdateStep::Download, true, "writing the firmware", partlyWritten},
        {UpdateStep::Verification, true, "writing the firmware", partlyWritten},
        {UpdateStep::ResetToApplication, true, "restarting the application", restarting},
    };
    for (const auto& c : cases) {
        const InterruptedStep at = DescribeInterruptedStep(c.step, c.written);
        EXPECT_EQ(at.stepName, c.name) << c.name;
        EXPECT_EQ(at.state.rfind(c.state, 0), 0u) << c.name << ": " << at.state;
    }
}

}  // namespace
}  // namespace tolvane::cli
