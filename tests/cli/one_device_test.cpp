// One device counted, another arriving while it switches: every step keeps to the counted unit.
#include "buses/port_pinned_bus.h"
#include "output/exit_codes.h"
#include "temp_dir.h"
#include "tool_bench.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tolvane::cli {
namespace {

using tolvane::test::TempDir;

// A bench of two units on the virtual clock: an application at 1-1, present at once, and a second
// unit already in its boot loader at 1-2, plugged in `lateMs` later.
sim::DeviceSpec UnitAt(const std::string& port, bool inBootLoader, std::uint32_t appearAfterMs) {
    sim::DeviceSpec spec = sim::VirtualTarget::specFor({.startsInBootLoader = inBootLoader});
    spec.port = port;
    spec.appearAfterMs = appearAfterMs;
    return spec;
}

struct RaceBench {
    explicit RaceBench(std::uint32_t lateMs)
        : tool(UnitAt("1-1", false, 0)), late(&tool.bus().addDevice(UnitAt("1-2", true, lateMs))) {}

    ToolRun run(const std::vector<std::string>& args) { return tool.run(args); }

    test::ToolBench tool;  // its own device is the counted unit
    sim::SimDevice* late;
    sim::SimBus& bus = tool.bus();
};

// The late unit's boot loader arrives anywhere in the counted unit's switch (its own boot loader
// comes 1000 ms after the reset): it is never written, and the counted unit is updated.
TEST(OneDeviceTest, ABootLoaderArrivingElsewhereIsNeverWritten) {
    const TempDir dir;
    const auto image = test::CountingImage(2000);
    const std::string path = dir.write("fw.bin", image);
    for (std::uint32_t run = 0; run < 50; ++run) {
        RaceBench bench(1 + run * 25);
        const ToolRun r = bench.run({"update", path, "--vid", "5C3B", "--pid", "0326"});
        SCOPED_TRACE("boot loader at 1-2 after " + std::to_string(1 + run * 25) + " ms: " + r.err);
        EXPECT_EQ(r.exitCode, kExitSuccess);
        EXPECT_EQ(bench.late->memory().setups, 0u);
        EXPECT_EQ(bench.tool.memory().image, image);
    }
}

// The single steps keep to the counted unit as well: its reset is followed by a wait for its own
// boot loader, however early another one arrives.
TEST(OneDeviceTest, TheSingleStepsKeepToTheCountedUnit) {
    const TempDir dir;
    const std::string path = dir.write("fw.bin", test::CountingImage(500));
    RaceBench bench(5);
    EXPECT_EQ(bench.run({"reset-to-isp", "--vid", "5C3B", "--pid", "0326"}).exitCode, kExitSuccess);
    // Both boot loaders are present now: a further step must choose.
    EXPECT_EQ(bench.run({"download", path}).exitCode, kExitSeveralDevices);
    EXPECT_EQ(bench.run({"download", path, "--port", "1-1"}).exitCode, kExitSuccess);
    EXPECT_EQ(bench.late->memory().setups, 0u);
}

// With no device counted, the first device written to pins the bus to its port.
TEST(OneDeviceTest, TheFirstWritePinsTheBus) {
    RaceBench bench(0);
    PortPinnedBus pinned(bench.bus);
    const auto paths = bench.bus.presentPaths();
    ASSERT_EQ(paths.size(), 2u);
    SysError error = 0;
    auto first = pinned.open(paths[0], DeviceAccess::ReadWrite, error);
    ASSERT_TRUE(first);
    EXPECT_FALSE(pinned.pinnedPort());
    const std::vector<std::uint8_t> report(65, 0);
    EXPECT_EQ(first->setFeature(report), 0u);
    EXPECT_EQ(pinned.pinnedPort(), "1-1");
    auto list = pinned.listInterfaces();
    std::u16string path;
    EXPECT_EQ(list->interfacePath(0, path), InterfaceLookup::Found);
    EXPECT_EQ(path, paths[0]);
    EXPECT_EQ(list->interfacePath(1, path), InterfaceLookup::End);
    EXPECT_FALSE(pinned.open(paths[1], DeviceAccess::None, error));
    EXPECT_EQ(error, kErrorFileNotFound);
}

// The tests' own bus in front of the device forwards every entry, so the tool sees the device's
// port and serial number as it would on a real bus.
TEST(OneDeviceTest, TheTestBusShowsTheDevicesPortAndSerial) {
    sim::DeviceSpec spec = sim::VirtualTarget::specFor({});
    spec.port = "2-4";
    test::ToolBench platform(spec);
    const ToolRun r = platform.run({"list"});
    EXPECT_EQ(r.exitCode, kExitSuccess) << r.err;
    EXPECT_THAT(r.out, ::testing::HasSubstr("port 2-4  serial SIM000001")) << r.out;
}

}  // namespace
}  // namespace tolvane::cli
