// The per-device lock between tool processes. A lock taken through another open file stands in
// for a second process: flock refuses it just the same.
#include "system/device_lock.h"
#include "buses/locking_hid_bus.h"
#include "output/exit_codes.h"
#include "temp_dir.h"
#include "tool_bench.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tolvane::cli {
namespace {

#ifndef _WIN32
using test::HookedBus;
using ::testing::ElementsAre;
using ::testing::HasSubstr;

TEST(DeviceLockTest, OneHolderAtATime) {
    const test::TempDir dir;
    const std::string node = dir.write("hidraw7", std::string());
    DeviceLock::Outcome outcome{};
    auto first = DeviceLock::take(node, outcome);
    EXPECT_EQ(outcome, DeviceLock::Outcome::Taken);
    EXPECT_FALSE(DeviceLock::take(node, outcome));
    EXPECT_EQ(outcome, DeviceLock::Outcome::Busy);
    first.reset();
    EXPECT_TRUE(DeviceLock::take(node, outcome));
    EXPECT_EQ(outcome, DeviceLock::Outcome::Taken);
    // No node to lock: the update goes on without a lock.
    EXPECT_FALSE(DeviceLock::take(dir.path("gone"), outcome));
    EXPECT_EQ(outcome, DeviceLock::Outcome::Unavailable);
}

// The node of the application's interfaces ("pid_0326") and of the boot loader's ("pid_030b").
HookedBus::NodeOf NodesIn(const test::TempDir& dir) {
    const std::string application = dir.write("hidraw3", std::string());
    const std::string bootLoader = dir.write("hidraw4", std::string());
    return [application, bootLoader](std::u16string_view path) -> std::string {
        if (path.find(u"pid_0326") != std::u16string_view::npos) return application;
        if (path.find(u"pid_030b") != std::u16string_view::npos) return bootLoader;
        return {};
    };
}

std::vector<std::u16string> PathsOn(HidBus& bus) {
    std::vector<std::u16string> paths;
    const auto list = bus.listInterfaces();
    std::u16string path;
    for (std::uint32_t i = 0; list->interfacePath(i, path) == InterfaceLookup::Found; ++i) {
        paths.push_back(path);
    }
    return paths;
}

SysError WriteThrough(HidBus& bus, std::u16string_view path) {
    SysError error = 0;
    const auto device = bus.open(path, DeviceAccess::ReadWrite, error);
    if (!device) return error;
    const std::vector<std::uint8_t> report(65, 0);
    return device->writeOutput(report);
}

// Two tool processes over the simulated bus: the lock is on the node the bus names for the
// device, not on the interface's path, so one device's collections share it, the second process
// gets none of them, and a device the bus names no node for is written without a lock.
TEST(LockingHidBusTest, LocksTheDeviceTheBusNames) {
    const test::TempDir dir;
    sim::DeviceSpec spec = sim::VirtualTarget::specFor({});
    spec.application.interfaces = {sim::InterfaceSpec{.collectionSuffix = u"&col01"},
                                   sim::InterfaceSpec{.collectionSuffix = u"&col02"}};
    test::ToolBench platform(spec);
    platform.bus().addDevice(sim::DeviceSpec::target(0x5C3B, 0x0999));
    HookedBus named(
        platform.bus(), [](auto) {}, {}, NodesIn(dir));
    const std::vector<std::u16string> paths = PathsOn(named);
    ASSERT_EQ(paths.size(), 3u);

    LockingHidBus first(named), second(named);
    EXPECT_EQ(WriteThrough(first, paths[0]), 0u);
    EXPECT_EQ(WriteThrough(first, paths[1]), 0u) << "one device, one lock: never refused by itself";
    EXPECT_EQ(WriteThrough(second, paths[1]), kErrorBusy);
    EXPECT_EQ(WriteThrough(second, paths[0]), kErrorBusy);
    EXPECT_THAT(second.busyPaths(), ElementsAre(paths[1], paths[0]));
    EXPECT_TRUE(second.busyAt("1-1"));
    EXPECT_FALSE(second.busyAt("1-2"));
    // The other device has no node: both processes write it.
    EXPECT_EQ(WriteThrough(first, paths[2]), 0u);
    EXPECT_EQ(WriteThrough(second, paths[2]), 0u);
    // A script holding the node with flock(1) counts as another process.
    DeviceLock::Outcome outcome{};
    EXPECT_FALSE(DeviceLock::take(dir.path("hidraw3"), outcome));
    EXPECT_EQ(outcome, DeviceLock::Outcome::Busy);
}

// A device whose node another process holds gets no report at all, and the tool exits 75 naming
// it, alone, among all devices or at the station; once the other process is done, the update goes
// through and holds the lock of each identity while it runs.
TEST(DeviceLockTest, ASecondProcessRefusesTheDeviceAtOnce) {
    const test::TempDir dir;
    test::ToolBench platform;
    platform.deviceNodes = NodesIn(dir);
    const std::string application = dir.path("hidraw3");
    const std::string bootLoader = dir.path("hidraw4");
    const std::string image = dir.write("fw.bin", test::CountingImage(300));
    const std::vector<std::string> update{"--json", "update", image, "--vid",
                                          "5C3B",   "--pid",  "0326"};

    DeviceLock::Outcome outcome{};
    auto other = DeviceLock::take(application, outcome);
    ASSERT_EQ(outcome, DeviceLock::Outcome::Taken);
    int reports = 0;
    const ToolRun refused = platform.run(update, {.report = [&](auto) { ++reports; }});
    EXPECT_EQ(refused.exitCode, kExitDeviceBusy);
    EXPECT_THAT(refused.err, HasSubstr("is being updated by another tolvane process"));
    EXPECT_THAT(refused.out, HasSubstr("\"result\":\"DEVICE_BUSY\",\"code\":170,\"exit_code\":75"));
    EXPECT_EQ(reports, 0);
    EXPECT_EQ(platform.memory().entriesToBootLoader, 0u);
    // Updating every device: the held one is reported as held, with the same exit code.
    const ToolRun all =
        platform.run({"--json", "update", image, "--vid", "5C3B", "--pid", "0326", "--all"},
                     {.report = [&](auto) { ++reports; }});
    EXPECT_EQ(all.exitCode, kExitDeviceBusy) << all.err;
    EXPECT_THAT(all.out, HasSubstr("\"result\":\"DEVICE_BUSY\""));
    EXPECT_THAT(all.out, HasSubstr("another tolvane process is updating this device"));
    EXPECT_EQ(reports, 0);
    // The station likewise.
    const ToolRun station =
        platform.run({"--json", "station", image, "--vid", "5C3B", "--pid", "0326", "--count", "1"},
                     {.report = [&](auto) { ++reports; }});
    EXPECT_EQ(station.exitCode, kExitDeviceBusy) << station.err;
    EXPECT_THAT(station.out, HasSubstr("DEVICE_BUSY"));
    EXPECT_EQ(reports, 0);

    other.reset();
    bool applicationHeld = false, bootLoaderHeld = false;
    const ToolRun done = platform.run(update, {.report = [&](auto) {
                                          DeviceLock::Outcome during{};
                                          applicationHeld |= !DeviceLock::take(application, during);
                                          bootLoaderHeld |= !DeviceLock::take(bootLoader, during);
                                      }});
    EXPECT_EQ(done.exitCode, kExitSuccess) << done.err;
    EXPECT_TRUE(applicationHeld);
    EXPECT_TRUE(bootLoaderHeld);
    // Let go at the end of the run.
    EXPECT_TRUE(DeviceLock::take(application, outcome));
    EXPECT_TRUE(DeviceLock::take(bootLoader, outcome));
}
#endif

}  // namespace
}  // namespace tolvane::cli
