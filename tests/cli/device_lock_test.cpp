// The per-device lock between tool processes. A lock taken through another open file stands in
// for a second process: flock refuses it just the same.
#include "device_lock.h"
#include "exit_codes.h"
#include "locking_hid_bus.h"
#include "sim_platform.h"
#include "temp_dir.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tolvane::cli {
namespace {

#ifndef _WIN32
using ::testing::HasSubstr;

std::u16string Wide(const std::string& text) {
    return std::u16string(text.begin(), text.end());
}

TEST(DeviceLockTest, OneHolderAtATime) {
    const test::TempDir dir;
    const std::u16string node = Wide(dir.write("hidraw7", std::string()));
    DeviceLock::Outcome outcome{};
    auto first = DeviceLock::take(node, outcome);
    EXPECT_EQ(outcome, DeviceLock::Outcome::Taken);
    EXPECT_FALSE(DeviceLock::take(node, outcome));
    EXPECT_EQ(outcome, DeviceLock::Outcome::Busy);
    first.reset();
    EXPECT_TRUE(DeviceLock::take(node, outcome));
    EXPECT_EQ(outcome, DeviceLock::Outcome::Taken);
    // No node to lock (a virtual device): the update goes on without a lock.
    EXPECT_FALSE(DeviceLock::take(Wide(dir.path("gone")), outcome));
    EXPECT_EQ(outcome, DeviceLock::Outcome::Unavailable);
}

// A device whose node another process holds gets no report at all, and the tool exits 75 naming
// it, alone or among all devices; once the other process is done, the update goes through and
// holds the lock while it runs.
TEST(DeviceLockTest, ASecondProcessRefusesTheDeviceAtOnce) {
    const test::TempDir dir;
    const std::string node = dir.write("hidraw3", std::string());
    sim::DeviceSpec spec = sim::VirtualTarget::specFor({});
    spec.application.interfaces.at(0).path = Wide(node);
    test::SimPlatform platform(spec);
    const std::string image = dir.write("fw.bin", test::CountingImage(300));
    const std::vector<std::string> update{"--json", "update", image, "--vid",
                                          "5C3B",   "--pid",  "0326"};

    DeviceLock::Outcome outcome{};
    auto other = DeviceLock::take(Wide(node), outcome);
    ASSERT_EQ(outcome, DeviceLock::Outcome::Taken);
    int reports = 0;
    const ToolRun refused = platform.run(update, [&](auto) { ++reports; });
    EXPECT_EQ(refused.exitCode, kExitDeviceBusy);
    EXPECT_THAT(refused.err, HasSubstr(node + " is being updated by another tolvane process"));
    EXPECT_THAT(refused.out, HasSubstr("\"result\":\"DEVICE_BUSY\",\"code\":170,\"exit_code\":75"));
    EXPECT_EQ(reports, 0);
    EXPECT_EQ(platform.memory().entriesToBootLoader, 0u);
    // Updating every device: the held one is reported as held, with the same exit code.
    const ToolRun all =
        platform.run({"--json", "update", image, "--vid", "5C3B", "--pid", "0326", "--all"},
                     [&](auto) { ++reports; });
    EXPECT_EQ(all.exitCode, kExitDeviceBusy) << all.err;
    EXPECT_THAT(all.out, HasSubstr("\"result\":\"DEVICE_BUSY\""));
    EXPECT_THAT(all.out, HasSubstr("another tolvane process is updating this device"));
    EXPECT_EQ(reports, 0);

    other.reset();
    bool heldWhileWriting = false;
    const ToolRun done = platform.run(update, [&](auto) {
        DeviceLock::Outcome during{};
        heldWhileWriting =
            !DeviceLock::take(Wide(node), during) && during == DeviceLock::Outcome::Busy;
    });
    EXPECT_EQ(done.exitCode, kExitSuccess) << done.err;
    EXPECT_TRUE(heldWhileWriting);
    EXPECT_TRUE(DeviceLock::take(Wide(node), outcome));  // let go at the end of the run
}
#endif

}  // namespace
}  // namespace tolvane::cli
