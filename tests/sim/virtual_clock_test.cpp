// The virtual clock, the simulated events and windows beyond their contract (tests/conformance):
// virtual time, injected faults, the transcript and what the services hold.
#include "dispatch_thread.h"
#include "sim_services.h"
#include "transcript.h"
#include "virtual_timeline.h"

#include <gtest/gtest.h>

#include <vector>

namespace tolvane::sim {
namespace {

class CountingHandler final : public DeviceChangeHandler {
public:
    void onDeviceChange(const DeviceChangeMessage& message) override {
        messages.push_back({message.eventType, message.deviceType, std::u16string(message.name)});
        if (event != nullptr) event->signal();
    }
    struct Seen {
        std::uint32_t eventType;
        std::uint32_t deviceType;
        std::u16string name;
    };
    std::vector<Seen> messages;
    AutoResetEvent* event = nullptr;
};

TEST(VirtualTimeline, RunsActionsInTimeOrderEachAtItsOwnMoment) {
    VirtualTimeline clock;
    std::vector<std::pair<int, std::uint64_t>> ran;
    clock.schedule(30, [&] { ran.emplace_back(3, clock.nowMs()); });
    clock.schedule(10, [&] { ran.emplace_back(1, clock.nowMs()); });
    clock.schedule(10, [&] {
        ran.emplace_back(2, clock.nowMs());
        clock.schedule(15, [&] { ran.emplace_back(4, clock.nowMs()); });
    });
    clock.advanceTo(20);
    EXPECT_EQ(clock.nowMs(), 20u);
    ASSERT_EQ(ran.size(), 3u);
    EXPECT_EQ(ran[0], std::make_pair(1, std::uint64_t{10}));
    EXPECT_EQ(ran[1], std::make_pair(2, std::uint64_t{10}));
    EXPECT_EQ(ran[2], std::make_pair(4, std::uint64_t{15}));
    EXPECT_EQ(clock.nextDueMs(), std::optional<std::uint64_t>(30));
    clock.advanceTo(5);  // never backwards
    EXPECT_EQ(clock.nowMs(), 20u);
    clock.cancelAll();
    clock.advanceBy(100);
    EXPECT_EQ(ran.size(), 3u);
}

class SimServicesTest : public ::testing::Test {
protected:
    std::unique_ptr<AutoResetEvent> makeEvent() {
        SysError error = 99;
        auto event = services.createEvent(error);
        EXPECT_EQ(error, 0u);
        return event;
    }

    Transcript transcript;
    SimServices services{transcript};
};

TEST_F(SimServicesTest, SleepAdvancesVirtualTimeAndIsRecorded) {
    bool fired = false;
    services.timeline().schedule(1500, [&] { fired = services.nowMs() == 1500; });
    services.sleep(1000);
    EXPECT_FALSE(fired);
    services.sleep(1000);
    EXPECT_TRUE(fired);
    EXPECT_EQ(services.nowMs(), 2000u);
    EXPECT_EQ(transcript.sleeps(), (std::vector<std::uint32_t>{1000, 1000}));
}

TEST_F(SimServicesTest, EventIsAutoResetAndHoldsOneSignal) {
    auto event = makeEvent();
    EXPECT_EQ(event->signal(), 0u);
    EXPECT_EQ(event->signal(), 0u);  // not counted
    EXPECT_EQ(event->wait(30000), WaitResult::Signaled);
    EXPECT_EQ(services.nowMs(), 0u);
    EXPECT_EQ(event->wait(30000), WaitResult::TimedOut);
    EXPECT_EQ(services.nowMs(), 30000u);
}

TEST_F(SimServicesTest, WaitTimesOutExactlyAtItsDeadline) {
    auto event = makeEvent();
    services.sleep(7);
    EXPECT_EQ(event->wait(0), WaitResult::TimedOut);
    EXPECT_EQ(services.nowMs(), 7u);
    EXPECT_EQ(event->wait(30000), WaitResult::TimedOut);
    EXPECT_EQ(services.nowMs(), 30007u);
    const auto waits = transcript.waits();
    ASSERT_EQ(waits.size(), 2u);
    EXPECT_EQ(waits[1].value, 30000u);
    EXPECT_EQ(waits[1].atMs, 30007u);
    EXPECT_EQ(waits[1].startMs, 7u);
    EXPECT_EQ(waits[1].result, static_cast<int>(WaitResult::TimedOut));
}

TEST_F(SimServicesTest, ScheduledSignalEndsTheWaitAtItsMoment) {
    auto event = makeEvent();
    services.timeline().schedule(29999, [&] { event->signal(); });
    EXPECT_EQ(event->wait(30000), WaitResult::Signaled);
    EXPECT_EQ(services.nowMs(), 29999u);

    // A signal due at the deadline itself still counts; one a tick later does not.
    services.timeline().schedule(services.nowMs() + 100, [&] { event->signal(); });
    EXPECT_EQ(event->wait(100), WaitResult::Signaled);
    services.timeline().schedule(services.nowMs() + 101, [&] { event->signal(); });
    EXPECT_EQ(event->wait(100), WaitResult::TimedOut);
    // That late signal stays pending and ends the next wait at once.
    services.sleep(1);
    const std::uint64_t before = services.nowMs();
    EXPECT_EQ(event->wait(30000), WaitResult::Signaled);
    EXPECT_EQ(services.nowMs(), before);
}

TEST_F(SimServicesTest, ClosingTwiceGivesTheEventBackOnce) {
    auto event = makeEvent();
    EXPECT_EQ(services.held().events, 1);
    EXPECT_EQ(event->close(), 0u);
    EXPECT_EQ(event->close(), 0u);
    EXPECT_EQ(services.held().events, 0);
    EXPECT_EQ(transcript.count(Call::CloseEvent), 1u);
}

TEST_F(SimServicesTest, InjectedCreationFaultsIncludingZero) {
    services.failCreateEvent(0, 1);
    SysError error = 99;
    EXPECT_EQ(services.createEvent(error), nullptr);
    EXPECT_EQ(error, 0u);
    EXPECT_NE(services.createEvent(error), nullptr);

    services.failCreateNotifyWindow(8);
    CountingHandler handler;
    EXPECT_EQ(services.createNotifyWindow({}, handler, error), nullptr);
    EXPECT_EQ(error, 8u);
    EXPECT_EQ(services.createNotifyWindow({}, handler, error), nullptr);
    services.clearFaults();
    EXPECT_NE(services.createNotifyWindow({}, handler, error), nullptr);
    EXPECT_TRUE(services.held().none());
}

TEST_F(SimServicesTest, MessageBoxIsRecordedAndReturns) {
    services.showMessageBox(u"Create Dummy Dialog Failed", u"Error");
    const auto boxes = services.messageBoxes();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(boxes[0].text, u"Create Dummy Dialog Failed");
    EXPECT_EQ(boxes[0].caption, u"Error");
    EXPECT_EQ(transcript.count(Call::MessageBox), 1u);
}

TEST_F(SimServicesTest, WindowRecordsItsButtonSize) {
    CountingHandler handler;
    SysError error = 0;
    auto window = services.createNotifyWindow({80, 20}, handler, error);
    ASSERT_NE(window, nullptr);
    EXPECT_EQ(transcript.of(Call::CreateWindow).at(0).value, (80u << 16) | 20u);
}

// As on Windows: a wait on the owning thread hands the window its notifications, and leaves the
// host's own messages to the thread's loop.
TEST_F(SimServicesTest, WaitOnTheOwningThreadSeesItsNotificationButNoHostMessage) {
    CountingHandler handler;
    SysError error = 0;
    auto window = services.createNotifyWindow({}, handler, error);
    auto event = makeEvent();
    handler.event = event.get();
    int hostMessages = 0;
    services.postHostMessage([&] { ++hostMessages; });
    services.timeline().schedule(1000, [&] { window->deliverDeviceChange(kDeviceArrival, u"p"); });
    EXPECT_EQ(event->wait(30000), WaitResult::Signaled);
    EXPECT_EQ(services.nowMs(), 1000u);
    EXPECT_EQ(handler.messages.size(), 1u);
    EXPECT_EQ(hostMessages, 0);
    services.dispatchMessages(0);
    EXPECT_EQ(hostMessages, 1);
}

TEST_F(SimServicesTest, WindowSwallowsCommandsAndOtherRecords) {
    CountingHandler handler;
    SysError error = 0;
    auto window = services.createNotifyWindow({}, handler, error);
    auto* sim = services.windows().at(0);
    sim->postCommand(WindowCommand::Ok);
    sim->postCommand(WindowCommand::Close);
    sim->deliverOtherDeviceChange(kDeviceArrival, kDevTypeHandle);
    services.dispatchMessages(0);
    EXPECT_FALSE(sim->destroyed());
    EXPECT_EQ(transcript.count(Call::CommandSwallowed), 2u);
    ASSERT_EQ(handler.messages.size(), 1u);
    EXPECT_EQ(handler.messages[0].deviceType, kDevTypeHandle);
    EXPECT_TRUE(handler.messages[0].name.empty());
    EXPECT_EQ(services.held().windows, 1);
}

TEST_F(SimServicesTest, WindowRefusedToAnotherThreadIsHeldUntilItsOwnerDestroysIt) {
    CountingHandler handler;
    SysError error = 0;
    auto window = services.createNotifyWindow({}, handler, error);
    std::thread([&] { window->destroy(); }).join();
    EXPECT_EQ(services.held().windows, 1);
    EXPECT_EQ(window->destroy(), 0u);
    EXPECT_EQ(services.held().windows, 0);
}

// A worker waits under virtual time while another thread owns the window and dispatches: the
// notification a scheduled action queues is always handled before the clock moves on.
TEST_F(SimServicesTest, WatcherThreadDeliversToAVirtualWaiterDeterministically) {
    CountingHandler handler;
    std::unique_ptr<NotifyWindow> window;
    auto event = makeEvent();
    handler.event = event.get();
    {
        DispatchThread ui(services);
        ui.run([&] {
            SysError error = 0;
            window = services.createNotifyWindow({}, handler, error);
        });
        for (int round = 0; round < 20; ++round) {
            const std::uint64_t at = services.nowMs() + 1200;
            services.timeline().schedule(
                at, [&] { window->deliverDeviceChange(kDeviceArrival, u"p"); });
            ASSERT_EQ(event->wait(30000), WaitResult::Signaled) << "round " << round;
            EXPECT_EQ(services.nowMs(), at);
        }
        // Stopped on its own thread, as the owner must.
        ui.run([&] { EXPECT_EQ(window->destroy(), 0u); });
    }
    EXPECT_EQ(handler.messages.size(), 20u);
    EXPECT_EQ(services.held().windows, 0);
}

}  // namespace
}  // namespace tolvane::sim
