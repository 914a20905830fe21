// Whole updates as the programs run them: the watcher on a thread that dispatches, the three
// steps on another, one device followed through both identities.
#include "dispatch_thread.h"
#include "engine_fixture.h"

namespace tolvane::test {
namespace {

struct UpdateResult {
    ResultCode resetToIsp = 0;
    ResultCode download = 0;
    ResultCode resetToAp = 0;
    // The first failure, as a program reports it.
    ResultCode overall = 0;
};

UpdateResult RunUpdate(DfuEngine& engine, const std::vector<std::uint8_t>& image) {
    UpdateResult result;
    result.resetToIsp = engine.ResetToIsp(0x5C3B, 0x0326);
    result.overall = result.resetToIsp;
    if (result.resetToIsp != DFU_SUCCESS && result.resetToIsp != DFU_ALREADY_IN_DFU) {
        return result;
    }
    const auto size = static_cast<std::uint32_t>(image.size());
    result.download = engine.Download(image.data(), 0, size, ImageChecksum(image.data(), size));
    result.overall = result.download;
    if (result.download != DFU_SUCCESS) return result;
    result.resetToAp = engine.ResetToAp();
    result.overall = result.resetToAp;
    return result;
}

class WholeUpdateTest : public EngineTest {
protected:
    void SetUp() override {
        ui.run([&] { ASSERT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS); });
    }
    void TearDown() override {
        ui.run([&] { EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS); });
        EngineTest::TearDown();
    }
    sim::DispatchThread ui{world.services};
};

TEST_F(WholeUpdateTest, ImageEndsUpInTheDeviceAndTheApplicationComesBack) {
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    config.bootLoaderArrivalMs = 1500;
    config.applicationArrivalMs = 800;
    SimDevice& device = world.bus.addDevice(config);
    const auto image = MakeImage(5000);
    const UpdateResult result = RunUpdate(world.engine, image);
    EXPECT_EQ(result.resetToIsp, DFU_SUCCESS);
    EXPECT_EQ(result.download, DFU_SUCCESS);
    EXPECT_EQ(result.resetToAp, DFU_SUCCESS);
    EXPECT_EQ(device.memory().image, image);
    EXPECT_EQ(world.engine.GetPercentage(), 100u);
    EXPECT_EQ(state().pendingChange, PendingChange::None);
    world.clock().advanceBy(800);
    EXPECT_EQ(device.mode(), Mode::Application);
}

TEST_F(WholeUpdateTest, HundredRunsInARowBehaveAlike) {
    for (int run = 0; run < 100; ++run) {
        sim::SimWorld local;
        sim::DispatchThread localUi(local.services);
        localUi.run([&] { ASSERT_EQ(local.engine.StartDeviceChangeWatcher(), DFU_SUCCESS); });
        SimDevice& device = local.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
        const auto image = MakeImage(700 + static_cast<std::size_t>(run));
        ASSERT_EQ(RunUpdate(local.engine, image).overall, DFU_SUCCESS) << "run " << run;
        ASSERT_EQ(device.memory().image, image) << "run " << run;
        localUi.run([&] { EXPECT_EQ(local.engine.StopDeviceChangeWatcher(), DFU_SUCCESS); });
        ASSERT_TRUE(local.held().none()) << "run " << run << ": " << local.held();
    }
}

TEST_F(WholeUpdateTest, TargetAlreadyInItsBootLoaderIsUpdated) {
    SimDevice& device = AddBootLoader();
    const auto image = MakeImage(300);
    const UpdateResult result = RunUpdate(world.engine, image);
    EXPECT_EQ(result.resetToIsp, DFU_ALREADY_IN_DFU);
    EXPECT_EQ(result.overall, DFU_SUCCESS);
    EXPECT_EQ(device.memory().image, image);
}

// A data report refused until its retries run out, at the first, a middle and the last report;
// the fault then passes, and after a power cycle the next run goes through.
TEST_F(WholeUpdateTest, RefusedDataReportFailsInBoundedTimeAndTheNextRunSucceeds) {
    const auto image = MakeImage(64 * 10);
    for (const std::uint32_t report : {1u, 5u, 10u}) {
        sim::SimWorld local;
        sim::DispatchThread localUi(local.services);
        localUi.run([&] { ASSERT_EQ(local.engine.StartDeviceChangeWatcher(), DFU_SUCCESS); });
        DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
        config.bootLoader.interfaces[0].refusals.push_back(
            {ReportKind::Data, sim::Fault{kErrorGenFailure, 2001}, report});
        SimDevice& device = local.bus.addDevice(config);

        const std::uint64_t start = local.nowMs();
        EXPECT_EQ(RunUpdate(local.engine, image).overall, kErrorGenFailure) << report;
        // 1 s re-enumeration, the setup pause, 2000 retries of 8 ms, the final install wait.
        EXPECT_LE(local.nowMs() - start, 1000u + 48u + 16000u + 10000u) << report;
        EXPECT_TRUE(local.held().deviceHandles == 0 && local.held().interfaceLists == 0);
        EXPECT_EQ(device.memory().finishQueries, 0u) << report;

        // The boot loader still counts the bytes it was promised: power it off and on.
        device.unplug();
        device.plugIn(Mode::BootLoader);
        local.services.settle();
        const UpdateResult again = RunUpdate(local.engine, image);
        EXPECT_EQ(again.resetToIsp, DFU_ALREADY_IN_DFU) << report;
        EXPECT_EQ(again.overall, DFU_SUCCESS) << report;
        EXPECT_EQ(device.memory().image, image) << report;
        localUi.run([&] { EXPECT_EQ(local.engine.StopDeviceChangeWatcher(), DFU_SUCCESS); });
        EXPECT_TRUE(local.held().none()) << local.held();
    }
}

TEST_F(WholeUpdateTest, UnpluggedDeviceFailsAndTheNextDeviceIsUpdated) {
    const auto image = MakeImage(64 * 10);
    for (const std::uint32_t report : {1u, 5u, 10u}) {
        sim::SimWorld local;
        sim::DispatchThread localUi(local.services);
        localUi.run([&] { ASSERT_EQ(local.engine.StartDeviceChangeWatcher(), DFU_SUCCESS); });
        DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
        config.unplugRules.push_back({ReportKind::Data, report});
        SimDevice& device = local.bus.addDevice(config);

        EXPECT_EQ(RunUpdate(local.engine, image).overall, kErrorDeviceNotConnected) << report;
        EXPECT_FALSE(device.present());
        EXPECT_EQ(local.bus.held().deviceHandles, 0);

        // The same engine updates the next device plugged in.
        SimDevice& next = local.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
        local.services.settle();
        EXPECT_EQ(RunUpdate(local.engine, image).overall, DFU_SUCCESS) << report;
        EXPECT_EQ(next.memory().image, image) << report;
        localUi.run([&] { EXPECT_EQ(local.engine.StopDeviceChangeWatcher(), DFU_SUCCESS); });
        EXPECT_TRUE(local.held().none()) << local.held();
    }
}

TEST_F(WholeUpdateTest, BootLoaderThatNeverReturnsToTheApplicationTimesOut) {
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    config.neverReturnsToApplication = true;
    world.bus.addDevice(config);
    const UpdateResult result = RunUpdate(world.engine, MakeImage(100));
    EXPECT_EQ(result.download, DFU_SUCCESS);
    // Leaving the boot loader is all that is awaited.
    EXPECT_EQ(result.resetToAp, DFU_SUCCESS);
}

}  // namespace
}  // namespace tolvane::test
