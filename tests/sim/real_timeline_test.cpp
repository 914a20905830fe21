// The real-time timeline runs scheduled actions on its own thread and stops cleanly. These tests
// wait for the actions to happen, never on how long they took.
#include "real_timeline.h"
#include "virtual_target.h"

#include <gtest/gtest.h>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace tolvane::sim {
namespace {

TEST(RealTimeline, RunsActionsOnItsThreadInOrderAndDropsTheRestOnCancel) {
    std::mutex mutex;
    std::condition_variable ran;
    std::vector<int> order;
    std::thread::id runner;
    {
        RealTimeline timeline;
        const std::uint64_t now = timeline.nowMs();
        timeline.schedule(now + 3, [&] {
            std::lock_guard lock(mutex);
            order.push_back(2);
            ran.notify_all();
        });
        timeline.schedule(now, [&] {
            std::lock_guard lock(mutex);
            order.push_back(1);
            runner = std::this_thread::get_id();
        });
        timeline.schedule(now + 3'600'000, [&] { order.push_back(99); });
        std::unique_lock lock(mutex);
        ASSERT_TRUE(
            ran.wait_for(lock, std::chrono::seconds(10), [&] { return order.size() == 2; }));
        lock.unlock();
        timeline.cancelAll();
    }
    EXPECT_EQ(order, (std::vector<int>{1, 2}));
    EXPECT_NE(runner, std::this_thread::get_id());
}

TEST(RealTimeline, FastVirtualTargetSwitchesOnTheRealClock) {
    VirtualTargetOptions options;
    options.paced = false;
    VirtualTarget target(options);
    SysError error = 0;
    auto handle = target.bus().open(target.device().paths().at(0), DeviceAccess::ReadWrite, error);
    ASSERT_NE(handle, nullptr);
    std::vector<std::uint8_t> reset(65, 0);
    reset[1] = 0x55;
    reset[2] = 0x23;
    reset[3] = 0x01;
    reset[4] = 0x09;
    reset[6] = 0x86;
    EXPECT_EQ(handle->setFeature(reset), 0u);
    handle.reset();
    for (int i = 0; i < 1000 && !target.device().present(); ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(target.device().mode(), std::optional<Mode>(Mode::BootLoader));
    EXPECT_TRUE(target.simBus().held().none());
}

}  // namespace
}  // namespace tolvane::sim
