// Lanes of the virtual clock: threads that each hold a share of it see their own waits last
// exactly what they asked, whatever the other lanes do, and the clock stands still while any lane
// works.
#include "sim_services.h"
#include "transcript.h"
#include "virtual_timeline.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

namespace tolvane::sim {
namespace {

// Starts `work` on a thread holding a lane opened before the thread starts.
std::jthread OnLane(VirtualTimeline& clock, std::function<void()> work) {
    auto lane = std::make_unique<VirtualTimeline::Lane>(clock);
    return std::jthread([lane = std::move(lane), work = std::move(work)]() mutable {
        lane->attach();
        work();
        lane.reset();
    });
}

TEST(ClockLanes, EachLanesWaitsLastExactlyItsOwnTimeAndWorkHoldsTheClock) {
    VirtualTimeline clock;
    constexpr int kLanes = 6;
    constexpr int kSteps = 20;
    std::atomic<int> wrongSpends{0};
    std::atomic<int> movedWhileWorking{0};
    std::vector<std::uint64_t> ends(kLanes);
    {
        std::vector<std::jthread> lanes;
        // This thread holds the clock until every lane has started, so all start at 0.
        auto starting = std::make_unique<VirtualTimeline::Lane>(clock);
        starting->attach();
        for (int k = 0; k < kLanes; ++k) {
            lanes.push_back(OnLane(clock, [&, k] {
                for (int step = 0; step < kSteps; ++step) {
                    const std::uint64_t before = clock.nowMs();
                    clock.spend(static_cast<std::uint32_t>(k + 1));
                    if (clock.nowMs() != before + static_cast<std::uint64_t>(k + 1)) ++wrongSpends;
                    // Work between two waits: the clock must not move meanwhile.
                    const std::uint64_t working = clock.nowMs();
                    for (int i = 0; i < 20; ++i) std::this_thread::yield();
                    if (clock.nowMs() != working) ++movedWhileWorking;
                }
                ends[static_cast<std::size_t>(k)] = clock.nowMs();
            }));
        }
        starting.reset();
    }
    EXPECT_EQ(wrongSpends.load(), 0);
    EXPECT_EQ(movedWhileWorking.load(), 0);
    for (int k = 0; k < kLanes; ++k) {
        EXPECT_EQ(ends[static_cast<std::size_t>(k)], static_cast<std::uint64_t>(kSteps * (k + 1)))
            << "lane " << k;
    }
}

TEST(ClockLanes, AWaitSignalledByAnotherLaneEndsAtThatLanesMoment) {
    Transcript transcript;
    SimServices services(transcript);
    VirtualTimeline& clock = services.timeline();
    SysError error = 0;
    const auto event = services.createEvent(error);
    ASSERT_TRUE(event);
    WaitResult result{};
    std::uint64_t endedAt = 0;
    {
        auto starting = std::make_unique<VirtualTimeline::Lane>(clock);
        starting->attach();
        std::jthread waiter = OnLane(clock, [&] {
            result = event->wait(1000);
            endedAt = clock.nowMs();
        });
        std::jthread signaller = OnLane(clock, [&] {
            clock.spend(300);
            event->signal();
        });
        starting.reset();
    }
    EXPECT_EQ(result, WaitResult::Signaled);
    EXPECT_EQ(endedAt, 300u);
}

TEST(ClockLanes, ALaneStartingUpHoldsTheClockUntilItWaits) {
    VirtualTimeline clock;
    std::atomic<bool> go{false};
    std::uint64_t startedAt = 99;
    {
        // Opened on this thread: the clock waits for the new thread even before it runs.
        std::jthread late = OnLane(clock, [&] {
            while (!go) std::this_thread::yield();
            startedAt = clock.nowMs();
            clock.spend(5);
        });
        std::jthread early = OnLane(clock, [&] {
            go = true;
            clock.spend(50);
        });
    }
    EXPECT_EQ(startedAt, 0u);
    EXPECT_EQ(clock.nowMs(), 50u);
}

TEST(ClockLanes, AWaitNothingCanEndReportsItselfStuckAfterTheRealTimeLimit) {
    VirtualTimeline clock;
    EXPECT_EQ(clock.waitUntil(VirtualTimeline::kNever, std::chrono::milliseconds(1)),
              VirtualTimeline::Wakeup::Stuck);
    clock.wake(std::this_thread::get_id());  // a wake before the wait ends it at once
    EXPECT_EQ(clock.waitUntil(VirtualTimeline::kNever, std::chrono::milliseconds(1)),
              VirtualTimeline::Wakeup::Woken);
}

}  // namespace
}  // namespace tolvane::sim
