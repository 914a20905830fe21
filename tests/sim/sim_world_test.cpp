// The engine on the simulated world: a whole update with the watcher on its own dispatching
// thread, all under virtual time, repeated to show that the run is deterministic.
#include "sim_world.h"
#include "dispatch_thread.h"
#include "virtual_target.h"

#include <gtest/gtest.h>

#include <vector>

namespace tolvane::sim {
namespace {

std::vector<std::uint8_t> Image(std::size_t size) {
    std::vector<std::uint8_t> image(size);
    for (std::size_t i = 0; i < size; ++i) image[i] = static_cast<std::uint8_t>(i * 31 + (i >> 8));
    return image;
}

struct UpdateRun {
    ResultCode toIsp = 0;
    ResultCode download = 0;
    ResultCode toAp = 0;
    std::vector<std::string> calls;  // the engine's calls with their times
    DeviceMemory memory;
    Held held;
};

UpdateRun RunUpdate(const VirtualTargetOptions& options, const std::vector<std::uint8_t>& image) {
    UpdateRun run;
    SimWorld world;
    SimDevice& device = world.bus.addDevice(VirtualTarget::specFor(options));
    {
        DispatchThread ui(world.services);
        ResultCode started = 1;
        ui.run([&] { started = world.engine.StartDeviceChangeWatcher(); });
        EXPECT_EQ(started, DFU_SUCCESS);
        run.toIsp = world.engine.ResetToIsp(kVirtualTargetVendorId, kVirtualTargetProductId);
        const auto size = static_cast<std::uint32_t>(image.size());
        run.download = world.engine.Download(image.data(), 0x000800, size,
                                             ImageChecksum(image.data(), image.size()));
        run.toAp = world.engine.ResetToAp();
        ResultCode stopped = 1;
        ui.run([&] { stopped = world.engine.StopDeviceChangeWatcher(); });
        EXPECT_EQ(stopped, DFU_SUCCESS);
    }
    for (const Entry& entry : world.transcript.entries()) {
        if (entry.isEngineCall() && entry.call != Call::Dispatch)
            run.calls.push_back(entry.toString());
    }
    run.memory = device.memory();
    run.held = world.held();
    return run;
}

TEST(SimWorld, WholeUpdateUnderVirtualTimeWithTheWatcherOnItsOwnThread) {
    const auto image = Image(65536);
    VirtualTargetOptions options;  // paced: 1.5 s re-enumeration, 2 ms a report
    const UpdateRun run = RunUpdate(options, image);
    EXPECT_EQ(run.toIsp, DFU_SUCCESS);
    EXPECT_EQ(run.download, DFU_SUCCESS);
    EXPECT_EQ(run.toAp, DFU_SUCCESS);
    EXPECT_EQ(run.memory.image, image);
    EXPECT_EQ(run.memory.loadAddress, 0x000800u);
    EXPECT_EQ(run.memory.entriesToBootLoader, 1u);
    EXPECT_EQ(run.memory.entriesToApplication, 1u);
    EXPECT_TRUE(run.held.none()) << run.held;
}

TEST(SimWorld, RepeatedRunsGiveTheSameTranscript) {
    const auto image = Image(3000);
    VirtualTargetOptions options;
    const UpdateRun first = RunUpdate(options, image);
    for (int i = 0; i < 3; ++i) {
        const UpdateRun again = RunUpdate(options, image);
        ASSERT_EQ(again.calls.size(), first.calls.size()) << "run " << i;
        for (std::size_t k = 0; k < first.calls.size(); ++k) {
            ASSERT_EQ(again.calls[k], first.calls[k]) << "run " << i << ", call " << k;
        }
    }
}

TEST(SimWorld, WrongChecksumAndRefusedDataReportComeBackAsResults) {
    const auto image = Image(1000);
    VirtualTargetOptions wrong;
    wrong.wrongChecksum = true;
    EXPECT_EQ(RunUpdate(wrong, image).download, DFU_ERR_VERIFY);

    VirtualTargetOptions refused;
    refused.refusedDataReport = 3;
    refused.paced = false;
    const UpdateRun run = RunUpdate(refused, image);
    EXPECT_EQ(run.download, kErrorGenFailure);
    EXPECT_EQ(run.memory.image.size(), 128u);
    EXPECT_TRUE(run.held.none()) << run.held;
}

// A reset that waits on the thread that owns the window sees the arrival, as it does on Windows.
TEST(SimWorld, ResetOnTheWindowsOwnThreadSeesTheArrival) {
    SimWorld world;
    SimDevice& device = world.bus.addDevice(DeviceSpec::target(0x1234, 0x5678));
    ASSERT_EQ(world.engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(world.engine.ResetToIsp(0x1234, 0x5678), DFU_SUCCESS);
    EXPECT_EQ(world.nowMs(), 1000u);
    EXPECT_EQ(device.mode(), std::optional<Mode>(Mode::BootLoader));
    EXPECT_EQ(world.engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_TRUE(world.held().none()) << world.held();
}

}  // namespace
}  // namespace tolvane::sim
