// The engine on the POSIX services with the simulated bus on the real clock, as `tolvane
// --simulate` runs it: a reset to the boot loader and back, with the notifications handled on the
// watcher's own dispatching thread, and with them handled as they come on a thread that never
// dispatches (how the Linux library runs). The device answers within milliseconds of real time.
#include "dfu_engine.h"
#include "dispatch_thread.h"
#include "posix_services.h"
#include "real_timeline.h"
#include "sim_bus.h"

#include <gtest/gtest.h>

namespace tolvane::posix {
namespace {

constexpr std::uint16_t kVendor = 0x5C3B;
constexpr std::uint16_t kProduct = 0x0326;

sim::DeviceSpec QuickTarget() {
    sim::DeviceSpec config = sim::DeviceSpec::target(kVendor, kProduct);
    config.bootLoaderArrivalMs = 2;
    config.applicationArrivalMs = 2;
    return config;
}

TEST(EngineWithSimBus, NotificationsReachAResetThroughTheWatchersDispatchingThread) {
    sim::Transcript transcript;
    sim::RealTimeline timeline;
    sim::SimBus bus(timeline, transcript);
    bus.addDevice(QuickTarget());
    PosixServices services;
    DfuEngine engine(bus, services);
    {
        sim::DispatchThread ui(services);
        ResultCode started = 0xFFFFFFFF;
        ui.run([&] { started = engine.StartDeviceChangeWatcher(); });
        ASSERT_EQ(started, DFU_SUCCESS);
        EXPECT_EQ(engine.ResetToIsp(kVendor, kProduct), DFU_SUCCESS);
        EXPECT_EQ(engine.ResetToAp(), DFU_SUCCESS);
        ResultCode stopped = 0xFFFFFFFF;
        ui.run([&] { stopped = engine.StopDeviceChangeWatcher(); });
        EXPECT_EQ(stopped, DFU_SUCCESS);
    }
    EXPECT_TRUE(bus.held().none()) << transcript.dump();
}

TEST(EngineWithSimBus, NotificationsHandledAsTheyComeNeedNoDispatchingThread) {
    sim::Transcript transcript;
    sim::RealTimeline timeline;
    sim::SimBus bus(timeline, transcript);
    bus.addDevice(QuickTarget());
    PosixServices services(NotificationDelivery::DeliveringThread);
    DfuEngine engine(bus, services);
    ASSERT_EQ(engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    // The reset waits on the very thread that owns the window.
    EXPECT_EQ(engine.ResetToIsp(kVendor, kProduct), DFU_SUCCESS);
    EXPECT_EQ(engine.ResetToAp(), DFU_SUCCESS);
    EXPECT_EQ(engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_TRUE(bus.held().none()) << transcript.dump();
}

}  // namespace
}  // namespace tolvane::posix
