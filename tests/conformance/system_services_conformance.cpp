// The system-services seam's contract (system_services.h), once for every backend.
#include "system_services_conformance.h"

#include <chrono>

namespace tolvane::conformance {

TEST_P(ServicesConformance, EventHoldsOneSignalWhichTheWaitConsumes) {
    const auto first = event();
    const auto second = event();
    ASSERT_TRUE(first && second);
    EXPECT_EQ(first->wait(0), WaitResult::TimedOut) << "created not signalled";
    EXPECT_EQ(first->signal(), 0u);
    EXPECT_EQ(first->signal(), 0u);
    EXPECT_EQ(second->wait(0), WaitResult::TimedOut) << "each event is its own";
    EXPECT_EQ(first->wait(kInfinite), WaitResult::Signaled);
    EXPECT_EQ(first->wait(0), WaitResult::TimedOut) << "a second signal is not counted";
}

TEST_P(ServicesConformance, ClosedEventFailsItsWaitsAndSignalsAndClosesOnce) {
    const auto closed = event();
    ASSERT_NE(closed, nullptr);
    closed->signal();
    EXPECT_EQ(closed->close(), 0u);
    EXPECT_EQ(closed->close(), 0u);
    EXPECT_EQ(closed->wait(kInfinite), WaitResult::Failed);
    EXPECT_EQ(closed->signal(), kErrorInvalidHandle);
}

TEST_P(ServicesConformance, TimedOutWaitAndSleepLastTheirTimeOnAClockThatNeverGoesBack) {
    const auto waiting = event();
    ASSERT_NE(waiting, nullptr);
    const std::uint64_t start = services().nowMs();
    EXPECT_EQ(waiting->wait(20), WaitResult::TimedOut);
    const std::uint64_t afterWait = services().nowMs();
    EXPECT_GE(afterWait + backend_->clockStepMs, start + 20);
    services().sleep(20);
    EXPECT_GE(services().nowMs() + backend_->clockStepMs, afterWait + 20);
    auto hold = services().holdFineTimerResolution();  // optional: null is an answer too
    hold.reset();
}

TEST_P(ServicesConformance, SignalOrCloseFromAnotherThreadEndsAWaitInProgress) {
    if (backend_->virtualClock || !backend_->threads) {
        GTEST_SKIP() << "no other thread's real time in this wait";
    }
    const auto signalled = event();
    ASSERT_NE(signalled, nullptr);
    std::thread signaller([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        signalled->signal();
    });
    EXPECT_EQ(signalled->wait(kInfinite), WaitResult::Signaled);
    signaller.join();

    std::thread closer([&] {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_EQ(signalled->close(), 0u);
    });
    EXPECT_EQ(signalled->wait(kInfinite), WaitResult::Failed);
    closer.join();
}

TEST_P(ServicesConformance, NotificationIsHandledOnTheOwnerWhenItDispatchesInOrder) {
    const auto notify = window();
    ASSERT_NE(notify, nullptr);
    if (backend_->threads) {
        std::thread other([&] { notify->deliverDeviceChange(kDeviceArrival, kPath); });
        other.join();
    } else {
        notify->deliverDeviceChange(kDeviceArrival, kPath);
    }
    notify->deliverDeviceChange(kDeviceRemoveComplete, u"second");
    EXPECT_TRUE(handler_.seen.empty()) << "handled before the owner dispatched";
    if (backend_->threads) {
        std::thread([&] { services().dispatchMessages(0); }).join();
        EXPECT_TRUE(handler_.seen.empty()) << "handled by another thread's dispatch";
    }

    services().dispatchMessages(0);
    ASSERT_EQ(handler_.seen.size(), 2u);
    EXPECT_EQ(handler_.seen[0].eventType, kDeviceArrival);
    EXPECT_EQ(handler_.seen[0].deviceType, kDevTypeDeviceInterface);
    EXPECT_EQ(handler_.seen[0].name, kPath);
    EXPECT_EQ(handler_.seen[0].thread, std::this_thread::get_id());
    EXPECT_EQ(handler_.seen[1].eventType, kDeviceRemoveComplete);
    EXPECT_EQ(handler_.seen[1].name, u"second");
    EXPECT_EQ(notify->destroy(), 0u);
}

// Windows' own answer: DestroyWindow from a thread that does not own the window fails with
// ERROR_ACCESS_DENIED. The library returns it from DFU_Deinitialize on another thread.
TEST_P(ServicesConformance, DestroyFromAnotherThreadIsAccessDeniedAndTheWindowGoesOn) {
    const auto notify = window();
    ASSERT_NE(notify, nullptr);
    if (backend_->threads) {
        SysError fromOther = 0;
        std::thread([&] { fromOther = notify->destroy(); }).join();
        EXPECT_EQ(fromOther, kErrorAccessDenied);
    }

    notify->deliverDeviceChange(kDeviceArrival, kPath);
    services().dispatchMessages(0);
    EXPECT_EQ(handler_.seen.size(), 1u);
    EXPECT_EQ(notify->destroy(), 0u);
    EXPECT_EQ(notify->destroy(), 0u) << "a second destroy after success answers 0";
}

TEST_P(ServicesConformance, NothingIsHandledAfterTheOwnerDestroysTheWindow) {
    const auto notify = window();
    ASSERT_NE(notify, nullptr);
    notify->deliverDeviceChange(kDeviceArrival, u"queued before");
    EXPECT_EQ(notify->destroy(), 0u);
    notify->deliverDeviceChange(kDeviceArrival, u"delivered after");
    services().dispatchMessages(0);
    EXPECT_TRUE(handler_.seen.empty());
}

TEST_P(ServicesConformance, DispatchWithNothingQueuedReturns) {
    const auto notify = window();
    services().dispatchMessages(0);
    services().dispatchMessages(5);
    EXPECT_TRUE(handler_.seen.empty());
}

}  // namespace tolvane::conformance
