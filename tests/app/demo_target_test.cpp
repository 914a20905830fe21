// The demonstration program's command line and the targets it shapes: each shape, updated as the
// program updates, ends with the outcome its result box is meant to show.
#include "demo_target.h"

#include "dfu_engine.h"
#include "dispatch_thread.h"
#include "sim_world.h"

#include <gtest/gtest.h>

#include <vector>

namespace vandrel {
namespace {

using namespace tolvane;

DemoOptions Parse(std::vector<std::u16string> arguments) {
    return ParseDemoOptions(arguments);
}

TEST(DemoOptions, NoArgumentsGiveTheUsualTargetAtRealSpeed) {
    const DemoOptions options = Parse({});
    EXPECT_EQ(options.shape, "normal");
    EXPECT_EQ(options.timeScale, 1u);
    EXPECT_TRUE(options.error.empty());
}

TEST(DemoOptions, ShapeAndTimeScale) {
    const DemoOptions options = Parse({u"--time-scale", u"10", u"--target", u"never-enters"});
    EXPECT_TRUE(options.error.empty()) << options.error;
    EXPECT_EQ(options.shape, "never-enters");
    EXPECT_EQ(options.timeScale, 10u);
}

TEST(DemoOptions, WhatIsNotUnderstoodIsRefused) {
    EXPECT_FALSE(Parse({u"--target", u"no-such-shape"}).error.empty());
    EXPECT_FALSE(Parse({u"--target"}).error.empty());
    EXPECT_FALSE(Parse({u"--verbose"}).error.empty());
    EXPECT_FALSE(Parse({u"--time-scale", u"0"}).error.empty());
    EXPECT_FALSE(Parse({u"--time-scale", u"1001"}).error.empty());
    EXPECT_FALSE(Parse({u"--time-scale", u"99999999999999999999"}).error.empty());
    EXPECT_FALSE(Parse({u"--time-scale", u"-5"}).error.empty());
    EXPECT_FALSE(Parse({u"--time-scale", u""}).error.empty());
}

// One update as the program's worker runs it, with the watcher on a thread that dispatches.
ResultCode UpdateAgainst(const std::string& shape) {
    sim::SimWorld world;
    world.bus.addDevice(DemoTargetSpec(shape, 600));
    sim::DispatchThread ui(world.services);
    ui.run([&] { world.engine.StartDeviceChangeWatcher(); });
    const std::vector<std::uint8_t> image(4096, 0x5A);
    const auto size = static_cast<std::uint32_t>(image.size());
    ResultCode result = world.engine.ResetToIsp(0x5C3B, 0x0326);
    if (result == DFU_SUCCESS || result == DFU_ALREADY_IN_DFU) {
        result = world.engine.Download(image.data(), 0, size, ImageChecksum(image.data(), size));
        if (result == DFU_SUCCESS) result = world.engine.ResetToAp();
    }
    ui.run([&] { world.engine.StopDeviceChangeWatcher(); });
    return result;
}

TEST(DemoTarget, EveryShapeEndsWithItsOutcome) {
    const std::pair<const char*, ResultCode> expected[] = {
        {"normal", DFU_SUCCESS},
        {"in-boot-loader", DFU_SUCCESS},
        {"boot-loader-unreachable", DFU_ERR_NOT_FOUND},
        {"never-enters", DFU_ERR_DFU_TIMEOUT},
        {"wrong-checksum", DFU_ERR_VERIFY},
        {"refuses-enter", DFU_ERR_ENTER_DFU},
        {"refuses-return", DFU_ERR_RESET_TO_AP},
        {"stays-in-boot-loader", DFU_ERR_AP_TIMEOUT},
    };
    ASSERT_EQ(std::size(expected), std::size(kDemoShapes));
    for (const auto& [shape, code] : expected) {
        EXPECT_EQ(UpdateAgainst(shape), code) << shape;
    }
}

}  // namespace
}  // namespace vandrel
