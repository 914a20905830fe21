// Whole updates as the programs run them: the watcher on a thread that dispatches, the three
// steps on another, one device followed through both identities.
#include "dispatch_thread.h"
#include "engine_fixture.h"
#include "update_sequence.h"

#include <string>
#include <vector>

namespace tolvane::test {
namespace {

struct UpdateResult {
    ResultCode resetToIsp = 0;
    ResultCode download = 0;
    ResultCode resetToAp = 0;
    // The first failure, as a program reports it.
    ResultCode overall = 0;
    // Each step as the observer heard it: "+" at its start, "-" at its end.
    std::vector<std::string> heard;
};

// The sequence tells only its three device steps.
const char* HeardName(UpdateStep step) {
    switch (step) {
        case UpdateStep::EnterBootLoader:
            return "boot loader";
        case UpdateStep::Download:
            return "download";
        case UpdateStep::ResetToApplication:
            return "application";
        default:
            return "?";
    }
}

// The engine's update sequence, with what each step answered.
UpdateResult Update(DfuEngine& engine, const std::vector<std::uint8_t>& image,
                    UpdateSteps steps = kWholeUpdate) {
    UpdateResult result;
    UpdateRequest request;
    request.vid = 0x5C3B;
    request.pid = 0x0326;
    request.image = image.data();
    request.size = static_cast<std::uint32_t>(image.size());
    request.checksum = ImageChecksum(image.data(), image.size());
    request.steps = steps;
    UpdateObserver observer;
    observer.stepStarts = [&](UpdateStep step) {
        result.heard.push_back(std::string("+") + HeardName(step));
    };
    observer.stepEnds = [&](UpdateStep step, ResultCode code) {
        result.heard.push_back(std::string("-") + HeardName(step));
        (step == UpdateStep::EnterBootLoader ? result.resetToIsp
         : step == UpdateStep::Download      ? result.download
                                             : result.resetToAp) = code;
    };
    result.overall = RunUpdate(engine, request, observer);
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
    const UpdateResult result = Update(world.engine, image);
    EXPECT_EQ(result.resetToIsp, DFU_SUCCESS);
    EXPECT_EQ(result.download, DFU_SUCCESS);
    EXPECT_EQ(result.resetToAp, DFU_SUCCESS);
    EXPECT_EQ(device.memory().image, image);
    EXPECT_EQ(world.engine.GetPercentage(), 100u);
    EXPECT_EQ(state().pendingChange, PendingChange::None);
    world.clock().advanceBy(800);
    EXPECT_EQ(device.mode(), Mode::Application);
}

// Interfaces named with their interface number after the product id (Wine's USB devices, a
// composite boot loader on Windows): the watcher still hears the boot loader come and go.
TEST_F(WholeUpdateTest, InterfacePathsWithAnInterfaceSuffixAreFollowed) {
    for (const std::u16string_view suffix : {u"&mi_00", u"&MI_00&Col01"}) {
        DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
        config.application.interfaces.at(0).collectionSuffix = suffix;
        config.bootLoader.interfaces.at(0).collectionSuffix = suffix;
        SimDevice& device = world.bus.addDevice(config);
        const auto image = MakeImage(1000);
        const UpdateResult result = Update(world.engine, image);
        EXPECT_EQ(result.resetToIsp, DFU_SUCCESS);
        EXPECT_EQ(result.download, DFU_SUCCESS);
        EXPECT_EQ(result.resetToAp, DFU_SUCCESS);
        EXPECT_EQ(device.memory().image, image);
        world.clock().advanceBy(2000);
        device.unplug();
    }
}

TEST_F(WholeUpdateTest, HundredRunsInARowBehaveAlike) {
    for (int run = 0; run < 100; ++run) {
        sim::SimWorld local;
        sim::DispatchThread localUi(local.services);
        localUi.run([&] { ASSERT_EQ(local.engine.StartDeviceChangeWatcher(), DFU_SUCCESS); });
        SimDevice& device = local.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
        const auto image = MakeImage(700 + static_cast<std::size_t>(run));
        ASSERT_EQ(Update(local.engine, image).overall, DFU_SUCCESS) << "run " << run;
        ASSERT_EQ(device.memory().image, image) << "run " << run;
        localUi.run([&] { EXPECT_EQ(local.engine.StopDeviceChangeWatcher(), DFU_SUCCESS); });
        ASSERT_TRUE(local.held().none()) << "run " << run << ": " << local.held();
    }
}

TEST_F(WholeUpdateTest, TargetAlreadyInItsBootLoaderIsUpdated) {
    SimDevice& device = AddBootLoader();
    const auto image = MakeImage(300);
    const UpdateResult result = Update(world.engine, image);
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
        EXPECT_EQ(Update(local.engine, image).overall, kErrorGenFailure) << report;
        // 1 s re-enumeration, the setup pause, 2000 retries of 8 ms, the final install wait.
        EXPECT_LE(local.nowMs() - start, 1000u + 48u + 16000u + 10000u) << report;
        EXPECT_TRUE(local.held().deviceHandles == 0 && local.held().interfaceLists == 0);
        EXPECT_EQ(device.memory().finishQueries, 0u) << report;

        // The boot loader still counts the bytes it was promised: power it off and on.
        device.unplug();
        device.plugIn(Mode::BootLoader);
        local.services.settle();
        const UpdateResult again = Update(local.engine, image);
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

        EXPECT_EQ(Update(local.engine, image).overall, kErrorDeviceNotConnected) << report;
        EXPECT_FALSE(device.present());
        EXPECT_EQ(local.bus.held().deviceHandles, 0);

        // The same engine updates the next device plugged in.
        SimDevice& next = local.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
        local.services.settle();
        EXPECT_EQ(Update(local.engine, image).overall, DFU_SUCCESS) << report;
        EXPECT_EQ(next.memory().image, image) << report;
        localUi.run([&] { EXPECT_EQ(local.engine.StopDeviceChangeWatcher(), DFU_SUCCESS); });
        EXPECT_TRUE(local.held().none()) << local.held();
    }
}

TEST_F(WholeUpdateTest, BootLoaderThatNeverReturnsToTheApplicationTimesOut) {
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    config.neverReturnsToApplication = true;
    world.bus.addDevice(config);
    const UpdateResult result = Update(world.engine, MakeImage(100));
    EXPECT_EQ(result.download, DFU_SUCCESS);
    // Leaving the boot loader is all that is awaited.
    EXPECT_EQ(result.resetToAp, DFU_SUCCESS);
}

// The sequence stops at the first step that fails, and its observer hears each step it ran, for
// the whole update and for each step alone.
TEST_F(WholeUpdateTest, TheSequenceRunsTheRequestedStepsAndStopsAtTheFirstFailure) {
    using Heard = std::vector<std::string>;
    const Heard all{"+boot loader", "-boot loader", "+download",
                    "-download",    "+application", "-application"};
    struct Case {
        const char* name;
        void (*shape)(DeviceSpec&);
        UpdateSteps steps;
        ResultCode overall;
        Heard heard;
    };
    const Case cases[] = {
        {"whole update", [](DeviceSpec&) {}, kWholeUpdate, DFU_SUCCESS, all},
        {"reset refused",
         [](DeviceSpec& d) { d.neverEntersBootLoader = true; },
         kWholeUpdate,
         DFU_ERR_DFU_TIMEOUT,
         {"+boot loader", "-boot loader"}},
        {"wrong checksum",
         [](DeviceSpec& d) { d.wrongChecksum = true; },
         kWholeUpdate,
         DFU_ERR_VERIFY,
         {"+boot loader", "-boot loader", "+download", "-download"}},
        {"reset alone",
         [](DeviceSpec&) {},
         {.enterBootLoader = true},
         DFU_SUCCESS,
         {"+boot loader", "-boot loader"}},
        {"nothing asked", [](DeviceSpec&) {}, {}, DFU_SUCCESS, {}},
    };
    const auto image = MakeImage(200);
    for (const Case& c : cases) {
        sim::SimWorld local;
        sim::DispatchThread localUi(local.services);
        localUi.run([&] { ASSERT_EQ(local.engine.StartDeviceChangeWatcher(), DFU_SUCCESS); });
        DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
        c.shape(config);
        local.bus.addDevice(config);
        const UpdateResult result = Update(local.engine, image, c.steps);
        EXPECT_EQ(result.overall, c.overall) << c.name;
        EXPECT_EQ(result.heard, c.heard) << c.name;
        localUi.run([&] { EXPECT_EQ(local.engine.StopDeviceChangeWatcher(), DFU_SUCCESS); });
        EXPECT_TRUE(local.held().none()) << c.name << ": " << local.held();
    }
}

// A device already in its boot loader: the reset alone says so, and the whole update goes on.
TEST_F(WholeUpdateTest, AlreadyInTheBootLoaderEndsTheResetAloneButNotTheUpdate) {
    AddBootLoader();
    const auto image = MakeImage(100);
    EXPECT_EQ(Update(world.engine, image, {.enterBootLoader = true}).overall, DFU_ALREADY_IN_DFU);
    const UpdateResult whole = Update(world.engine, image);
    EXPECT_EQ(whole.resetToIsp, DFU_ALREADY_IN_DFU);
    EXPECT_EQ(whole.overall, DFU_SUCCESS);
}

}  // namespace
}  // namespace tolvane::test
