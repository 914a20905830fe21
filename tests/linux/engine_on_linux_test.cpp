// The engine on the Linux platform as the shared library and the tool use it: the watcher starts
// and stops on one thread that never dispatches messages, and a machine without the device is
// "not found", not a failure of the bus.
#include "dfu_engine.h"
#include "platform.h"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

TEST(EngineOnLinux, WatcherStartsAndStopsWithoutAMessageLoop) {
    DfuEngine engine(platform::DefaultHidBus(), platform::DefaultServices());
    const ResultCode started = engine.StartDeviceChangeWatcher();
    if (started != DFU_SUCCESS) {
        // Only the udev monitor can be missing here (no netlink in some sandboxes).
        EXPECT_NE(engine.state().notifyWindow, nullptr);
        EXPECT_NE(engine.state().changeEvent, nullptr);
        GTEST_SKIP() << "no udev monitor here, error " << started;
    }
    EXPECT_NE(engine.state().notifyHandle, nullptr);
    EXPECT_EQ(engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(engine.state().initialized, 0u);
}

TEST(EngineOnLinux, AbsentDeviceIsNotFound) {
    DfuEngine engine(platform::DefaultHidBus(), platform::DefaultServices());
    // An identity no real device has.
    EXPECT_FALSE(engine.FindHidDevice(0xFFFE, 0xFFFE));
    EXPECT_EQ(engine.state().target.handle, nullptr);
    EXPECT_EQ(engine.state().target.vendorId, 0xFFFE);
}

}  // namespace
}  // namespace tolvane
