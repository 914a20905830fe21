// An engine confined to one port: it resets, waits for, writes and releases only the device at
// that port, while identical devices sit on other ports and change under its eyes.
#include "dispatch_thread.h"
#include "engine_fixture.h"

namespace tolvane::test {
namespace {

constexpr std::uint16_t kVid = 0x5C3B;
constexpr std::uint16_t kPid = 0x0326;

class PortScopeTest : public EngineTest {
protected:
    void SetUp() override {
        ui.run([&] { ASSERT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS); });
    }
    void TearDown() override {
        ui.run([&] { EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS); });
        EngineTest::TearDown();
    }

    SimDevice& AddTarget(DeviceSpec config = DeviceSpec::target(kVid, kPid)) {
        return world.bus.addDevice(std::move(config));
    }

    sim::DispatchThread ui{world.services};
};

TEST_F(PortScopeTest, WholeUpdateStaysWithTheDeviceAtThePort) {
    SimDevice& first = AddTarget();
    SimDevice& second = AddTarget();
    SimDevice& third = AddTarget();
    world.engine.ScopeToPort(second.port());
    EXPECT_EQ(world.engine.ScopedPort(), "1-2");

    const auto image = MakeImage(3000);
    ASSERT_EQ(world.engine.ResetToIsp(kVid, kPid), DFU_SUCCESS);
    EXPECT_EQ(second.mode(), Mode::BootLoader);
    EXPECT_EQ(first.mode(), Mode::Application);
    ASSERT_EQ(Download(image), DFU_SUCCESS);
    ASSERT_EQ(world.engine.ResetToAp(), DFU_SUCCESS);

    EXPECT_EQ(second.memory().image, image);
    EXPECT_EQ(second.memory().entriesToApplication, 1u);
    for (SimDevice* other : {&first, &third}) {
        EXPECT_EQ(other->memory().setups, 0u);
        EXPECT_EQ(other->memory().entriesToBootLoader, 0u);
    }
}

TEST_F(PortScopeTest, BootLoaderAtAnotherPortIsNeitherTakenNorWritten) {
    // Enumerated first: an unscoped engine would call it "already in DFU" and write into it.
    SimDevice& stranger = world.bus.addDevice(DeviceSpec::bootLoaderOnly());
    SimDevice& mine = AddTarget();
    world.engine.ScopeToPort(mine.port());

    ASSERT_EQ(world.engine.ResetToIsp(kVid, kPid), DFU_SUCCESS);
    const auto image = MakeImage(200);
    ASSERT_EQ(Download(image), DFU_SUCCESS);
    EXPECT_EQ(mine.memory().image, image);
    EXPECT_EQ(stranger.memory().setups, 0u);
}

TEST_F(PortScopeTest, BootLoaderAlreadyAtThePortIsReportedAsSuch) {
    AddTarget();
    SimDevice& mine = world.bus.addDevice(DeviceSpec::bootLoaderOnly());
    world.engine.ScopeToPort(mine.port());
    EXPECT_EQ(world.engine.ResetToIsp(kVid, kPid), DFU_ALREADY_IN_DFU);
    EXPECT_EQ(world.bus.devices().at(0)->mode(), Mode::Application);
}

TEST_F(PortScopeTest, NoDeviceAtThePortIsNotFoundEvenWithOthersPresent) {
    AddTarget();
    world.bus.addDevice(DeviceSpec::bootLoaderOnly());
    world.engine.ScopeToPort("7-7");
    EXPECT_EQ(world.engine.ResetToIsp(kVid, kPid), DFU_ERR_NOT_FOUND);
    EXPECT_EQ(world.engine.ResetToAp(), DFU_ERR_NOT_FOUND);
    for (SimDevice* device : world.bus.devices()) {
        EXPECT_EQ(device->memory().entriesToBootLoader + device->memory().entriesToApplication, 0u);
    }
}

TEST_F(PortScopeTest, ArrivalAtAnotherPortDoesNotEndTheWait) {
    DeviceSpec stuck = DeviceSpec::target(kVid, kPid);
    stuck.neverEntersBootLoader = true;
    SimDevice& mine = AddTarget(stuck);
    DeviceSpec late = DeviceSpec::bootLoaderOnly();
    late.appearAfterMs = 500;
    world.bus.addDevice(late);
    world.engine.ScopeToPort(mine.port());

    const std::uint64_t start = now();
    EXPECT_EQ(world.engine.ResetToIsp(kVid, kPid), DFU_ERR_DFU_TIMEOUT);
    EXPECT_EQ(now() - start, CHANGE_TIMEOUT_MS);
}

TEST_F(PortScopeTest, RemovalAtAnotherPortDoesNotEndTheWait) {
    SimDevice& stranger = world.bus.addDevice(DeviceSpec::bootLoaderOnly());
    DeviceSpec slow = DeviceSpec::bootLoaderOnly();
    slow.leaveAfterResetMs = CHANGE_TIMEOUT_MS + 1000;  // leaves only after the wait has ended
    SimDevice& mine = world.bus.addDevice(slow);
    world.engine.ScopeToPort(mine.port());
    world.clock().schedule(now() + 300, [&stranger] { stranger.unplug(); });

    EXPECT_EQ(world.engine.ResetToAp(), DFU_ERR_AP_TIMEOUT);
    EXPECT_FALSE(stranger.present());
}

TEST_F(PortScopeTest, RemovalOfTheDeviceAtThePortEndsTheWait) {
    // Its port can no longer be looked up at removal time; the path seen before counts.
    SimDevice& mine = world.bus.addDevice(DeviceSpec::bootLoaderOnly());
    world.engine.ScopeToPort(mine.port());
    const std::uint64_t start = now();
    EXPECT_EQ(world.engine.ResetToAp(), DFU_SUCCESS);
    EXPECT_LT(now() - start, CHANGE_TIMEOUT_MS);
}

TEST_F(PortScopeTest, RescopingForgetsTheEarlierPort) {
    SimDevice& first = AddTarget();
    SimDevice& second = AddTarget();
    world.engine.ScopeToPort(first.port());
    ASSERT_EQ(world.engine.ResetToIsp(kVid, kPid), DFU_SUCCESS);
    world.engine.ScopeToPort(second.port());
    ASSERT_EQ(world.engine.ResetToIsp(kVid, kPid), DFU_SUCCESS);
    EXPECT_EQ(first.memory().entriesToBootLoader, 1u);
    EXPECT_EQ(second.memory().entriesToBootLoader, 1u);
}

}  // namespace
}  // namespace tolvane::test
