// The reset command's attempts and the two resets with their waits.
#include "dispatch_thread.h"
#include "engine_fixture.h"

namespace tolvane::test {
namespace {

using Reports = std::vector<std::vector<std::uint8_t>>;

class ResetCommandTest : public EngineTest {
protected:
    // Opens a device with the given report lengths and sends the reset command to it.
    bool SendTo(std::uint16_t pid, std::uint16_t featureLength, std::uint16_t outputLength,
                std::uint32_t acceptedResets) {
        DeviceSpec config = DeviceSpec::target(0x5C3B, pid);
        auto& interface = config.application.interfaces[0];
        interface.featureReportLength = featureLength;
        interface.outputReportLength = outputLength;
        interface.acceptedResets = acceptedResets;
        world.bus.addDevice(config);
        EXPECT_TRUE(world.engine.FindHidDevice(0x5C3B, pid));
        const bool accepted = world.engine.SendResetCommand();
        world.engine.CloseTarget();
        return accepted;
    }
    Reports Sent() const {
        Reports bytes;
        for (const Entry& entry : world.transcript.reportsSent()) bytes.push_back(entry.bytes);
        return bytes;
    }
};

TEST_F(ResetCommandTest, DefaultReportIsOneFeatureReportOfFullLength) {
    EXPECT_TRUE(SendTo(0x1234, 65, 65, sim::kResetFeature00));
    EXPECT_EQ(Sent(), (Reports{Report(65, {0x00, 0x44})}));
}

TEST_F(ResetCommandTest, DefaultReportFallsBackToReportIdThenOutputReport) {
    EXPECT_FALSE(SendTo(0x1234, 65, 33, 0));
    EXPECT_EQ(Sent(), (Reports{Report(65, {0x00, 0x44}), Report(65, {0x40, 0x44}),
                               Report(33, {0x0C, 0x44})}));
    EXPECT_EQ(world.transcript.of(sim::Call::WriteOutput).size(), 1u);
}

TEST_F(ResetCommandTest, VendorSequenceProductsNeverGetReportId40) {
    for (const std::uint16_t pid : VENDOR_SEQUENCE_PRODUCTS) {
        world.transcript.clear();
        EXPECT_TRUE(SendTo(pid, 65, 65, sim::kResetOutput0C));
        EXPECT_EQ(Sent(), (Reports{Report(65, {0x00, 0x55, 0x23, 0x01, 0x09, 0x00, 0x86}),
                                   Report(65, {0x0C, 0x44})}))
            << pid;
    }
}

TEST_F(ResetCommandTest, EightByteReportsAreUsedSevenAreNot) {
    EXPECT_TRUE(SendTo(0x1234, 8, 8, sim::kResetFeature00));
    EXPECT_EQ(Sent(), (Reports{Report(8, {0x00, 0x44})}));

    world.transcript.clear();
    EXPECT_TRUE(SendTo(0x1235, 7, 8, sim::kResetAll));
    EXPECT_EQ(Sent(), (Reports{Report(8, {0x0C, 0x44})}));

    world.transcript.clear();
    EXPECT_FALSE(SendTo(0x1236, 7, 7, sim::kResetAll));
    EXPECT_TRUE(Sent().empty());
}

TEST_F(ResetCommandTest, ReportsLongerThanSixtyFiveBytesAreSentWhole) {
    EXPECT_FALSE(SendTo(0x1234, 200, 129, 0));
    const auto sent = Sent();
    ASSERT_EQ(sent.size(), 3u);
    EXPECT_EQ(sent[0], Report(200, {0x00, 0x44}));
    EXPECT_EQ(sent[2], Report(129, {0x0C, 0x44}));
}

TEST_F(ResetCommandTest, NothingIsSentWithoutAnOpenDevice) {
    EXPECT_FALSE(world.engine.SendResetCommand());
    EXPECT_TRUE(Sent().empty());
}

class ResetTest : public EngineTest {
protected:
    // The watcher lives on a thread that keeps dispatching; the resets run on the test thread.
    void StartWatcher() {
        ui.run([&] { ASSERT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS); });
    }
    void StopWatcher() {
        ui.run([&] { EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS); });
    }
    void TearDown() override {
        StopWatcher();
        EngineTest::TearDown();
    }
    sim::DispatchThread ui{world.services};
};

TEST_F(ResetTest, ArrivalJustBeforeTheTimeOutSucceeds) {
    StartWatcher();
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    config.bootLoaderArrivalMs = 29000;
    SimDevice& device = world.bus.addDevice(config);
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x0326), DFU_SUCCESS);
    EXPECT_EQ(now(), 29000u);
    EXPECT_EQ(state().pendingChange, PendingChange::None);
    EXPECT_EQ(device.mode(), Mode::BootLoader);
    EXPECT_EQ(world.engine.GetPercentage(), 255u);
}

TEST_F(ResetTest, NoArrivalTimesOutAtExactlyThirtySeconds) {
    StartWatcher();
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    config.neverEntersBootLoader = true;
    world.bus.addDevice(config);
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x0326), DFU_ERR_DFU_TIMEOUT);
    EXPECT_EQ(now(), 30000u);
    const auto waits = world.transcript.waits();
    ASSERT_EQ(waits.size(), 1u);
    EXPECT_EQ(waits[0].value, 30000u);
    EXPECT_EQ(state().pendingChange, PendingChange::DfuArrival);
}

TEST_F(ResetTest, WithoutWatcherTheCommandIsSentAndTheWaitFailsAtOnce) {
    SimDevice& device = world.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x0326), DFU_ERR_DFU_TIMEOUT);
    EXPECT_EQ(now(), 0u);
    EXPECT_EQ(device.memory().entriesToBootLoader, 1u);

    world.clock().advanceBy(5000);
    ASSERT_EQ(device.mode(), Mode::BootLoader);
    EXPECT_EQ(world.engine.ResetToAp(), DFU_ERR_AP_TIMEOUT);
    EXPECT_EQ(now(), 5000u);
    EXPECT_EQ(device.memory().entriesToApplication, 1u);
}

// A reset on the thread that owns the window, as a program that calls everything on one thread
// does: its wait hands the window its notifications, so the arrival is seen, but no handler of
// the host's own windows runs inside it (a second click would start a nested reset, a handler
// that stops the watcher would close the event being waited on).
TEST_F(ResetTest, WaitOnTheWatchersOwnThreadSeesTheArrivalButRunsNoHostHandler) {
    ASSERT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    world.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    int hostHandlerRuns = 0;
    ResultCode nested = 0;
    world.services.postHostMessage([&] {
        ++hostHandlerRuns;
        nested = world.engine.StopDeviceChangeWatcher();
    });
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x0326), DFU_SUCCESS);
    EXPECT_EQ(now(), 1000u);
    EXPECT_EQ(hostHandlerRuns, 0);
    EXPECT_EQ(state().initialized, 1u);
    // The host's own loop runs it afterwards.
    world.services.dispatchMessages(0);
    EXPECT_EQ(hostHandlerRuns, 1);
    EXPECT_EQ(nested, DFU_SUCCESS);
    EXPECT_EQ(state().initialized, 0u);
}

// After a time-out the tool looks once more at the port: a boot loader that came late is taken.
TEST_F(ResetTest, OneMoreLookFindsABootLoaderThatCameLate) {
    StartWatcher();
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    config.bootLoaderArrivalMs = 40000;
    world.bus.addDevice(config);
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x0326), DFU_ERR_DFU_TIMEOUT);
    EXPECT_FALSE(world.engine.LookOnceMoreForBootLoader(30000)) << "not there yet at 30 s";
    world.clock().advanceBy(10000);
    EXPECT_TRUE(world.engine.LookOnceMoreForBootLoader(30000));
    EXPECT_EQ(state().pendingChange, PendingChange::None);
    EXPECT_EQ(world.transcript.count(sim::Call::WaitInstall), 2u);
    ui.run([&] { world.engine.StopDeviceChangeWatcher(); });
}

TEST_F(ResetTest, LeftoverSignalEndsTheNextWaitAtOnce) {
    StartWatcher();
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    config.bootLoaderArrivalMs = 31000;  // too late for the first wait
    SimDevice& device = world.bus.addDevice(config);
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x0326), DFU_ERR_DFU_TIMEOUT);
    world.clock().advanceBy(2000);
    world.services.settle();
    ASSERT_EQ(device.mode(), Mode::BootLoader);
    // The late arrival was still awaited and left its signal.
    device.unplug();
    device.plugIn(Mode::Application);
    const std::uint64_t before = now();
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x0326), DFU_SUCCESS);
    EXPECT_EQ(now(), before);
}

TEST_F(ResetTest, TwoArrivalsBeforeTheWaitCountOnce) {
    StartWatcher();
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    config.duplicateArrivals = true;
    config.leaveAfterResetMs = 50;
    config.bootLoaderArrivalMs = 100;
    config.applicationArrivalMs = 100;
    SimDevice& device = world.bus.addDevice(config);
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x0326), DFU_SUCCESS);
    // The second signal of the doubled arrival is not counted: the next wait waits.
    EXPECT_EQ(world.engine.ResetToAp(), DFU_SUCCESS);
    EXPECT_EQ(device.mode(), std::nullopt);
    const auto waits = world.transcript.waits();
    ASSERT_EQ(waits.size(), 2u);
    EXPECT_EQ(waits[0].atMs, 150u);
    EXPECT_EQ(waits[1].atMs, 200u);
}

TEST_F(ResetTest, TargetAbsentButBootLoaderPresentIsAlreadyInDfu) {
    StartWatcher();
    AddBootLoader(65, 0x0332);
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x0326), DFU_ALREADY_IN_DFU);
    EXPECT_TRUE(world.transcript.reportsSent().empty());
    EXPECT_EQ(state().pendingChange, PendingChange::None);
}

TEST_F(ResetTest, NamingTheBootLoaderSendsNothingAndLeavesArrivalAwaited) {
    StartWatcher();
    AddBootLoader();
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x030B), DFU_ALREADY_IN_DFU);
    EXPECT_TRUE(world.transcript.reportsSent().empty());
    EXPECT_TRUE(world.transcript.waits().empty());
    EXPECT_EQ(state().pendingChange, PendingChange::DfuArrival);
    EXPECT_EQ(world.engine.GetPercentage(), 255u);
}

TEST_F(ResetTest, UpperBitsOfTheIdentifiersMatchButDoNotNameTheBootLoader) {
    StartWatcher();
    SimDevice& device = AddBootLoader();
    EXPECT_EQ(world.engine.ResetToIsp(0x10005C3B, 0x030B), DFU_ERR_DFU_TIMEOUT);
    EXPECT_EQ(world.transcript.reportsSent().size(), 1u);
    EXPECT_EQ(device.memory().entriesToApplication, 1u);
}

TEST_F(ResetTest, NothingPresentIsNotFoundAndLeavesThePendingChange) {
    StartWatcher();
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x0326), DFU_ERR_NOT_FOUND);
    EXPECT_EQ(state().pendingChange, PendingChange::None);
    EXPECT_EQ(world.engine.ResetToAp(), DFU_ERR_NOT_FOUND);
    EXPECT_EQ(world.engine.GetPercentage(), 255u);
}

TEST_F(ResetTest, RefusedCommandFailsAtOnce) {
    StartWatcher();
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    config.application.interfaces[0].featureReportLength = 7;
    config.application.interfaces[0].outputReportLength = 7;
    world.bus.addDevice(config);
    EXPECT_EQ(world.engine.ResetToIsp(0x5C3B, 0x0326), DFU_ERR_ENTER_DFU);
    EXPECT_TRUE(world.transcript.reportsSent().empty());
    EXPECT_TRUE(world.transcript.waits().empty());
    EXPECT_EQ(state().pendingChange, PendingChange::DfuArrival);
}

TEST_F(ResetTest, ResetToApPrefersTheFirstBootLoaderIdentity) {
    StartWatcher();
    SimDevice& second = AddBootLoader(65, 0x0332);
    SimDevice& first = AddBootLoader(65, 0x030B);
    EXPECT_EQ(world.engine.ResetToAp(), DFU_SUCCESS);
    EXPECT_EQ(first.memory().entriesToApplication, 1u);
    EXPECT_EQ(second.memory().entriesToApplication, 0u);
    EXPECT_EQ(state().pendingChange, PendingChange::None);
}

TEST_F(ResetTest, ResetToApFailuresKeepTheRemovalAwaited) {
    StartWatcher();
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.bootLoader.interfaces[0].acceptedResets = 0;
    world.bus.addDevice(config);
    EXPECT_EQ(world.engine.ResetToAp(), DFU_ERR_RESET_TO_AP);
    EXPECT_EQ(state().pendingChange, PendingChange::DfuRemoval);
}

}  // namespace
}  // namespace tolvane::test
