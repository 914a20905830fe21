// The auto-reset event: one pending signal, consumed by the wait it ends; time-outs on the steady
// clock; a closed event.
#include "posix_auto_reset_event.h"

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

namespace tolvane::posix {
namespace {

using std::chrono::milliseconds;
using std::chrono::steady_clock;

TEST(PosixAutoResetEvent, SignalGivenBeforeTheWaitEndsItAtOnceAndIsConsumed) {
    PosixAutoResetEvent event;
    EXPECT_EQ(event.signal(), 0u);
    EXPECT_EQ(event.wait(kInfinite), WaitResult::Signaled);
    EXPECT_EQ(event.wait(0), WaitResult::TimedOut);
}

TEST(PosixAutoResetEvent, SecondSignalBeforeTheWaitIsNotCounted) {
    PosixAutoResetEvent event;
    event.signal();
    event.signal();
    EXPECT_EQ(event.wait(0), WaitResult::Signaled);
    EXPECT_EQ(event.wait(0), WaitResult::TimedOut);
}

TEST(PosixAutoResetEvent, TimedOutWaitDoesNotEndBeforeItsDeadline) {
    PosixAutoResetEvent event;
    const auto start = steady_clock::now();
    EXPECT_EQ(event.wait(5), WaitResult::TimedOut);
    EXPECT_GE(steady_clock::now() - start, milliseconds(5));
}

TEST(PosixAutoResetEvent, SignalFromAnotherThreadEndsAnUnlimitedWait) {
    PosixAutoResetEvent event;
    std::thread signaller([&event] {
        std::this_thread::sleep_for(milliseconds(2));
        event.signal();
    });
    EXPECT_EQ(event.wait(kInfinite), WaitResult::Signaled);
    signaller.join();
}

TEST(PosixAutoResetEvent, ClosedEventFailsWaitsAndSignalsAndClosesOnlyOnce) {
    PosixAutoResetEvent event;
    event.signal();
    EXPECT_EQ(event.close(), 0u);
    EXPECT_EQ(event.wait(kInfinite), WaitResult::Failed);
    EXPECT_EQ(event.signal(), kErrorInvalidHandle);
    EXPECT_EQ(event.close(), 0u);
}

TEST(PosixAutoResetEvent, CloseFromAnotherThreadEndsAWaitInProgress) {
    PosixAutoResetEvent event;
    std::thread closer([&event] {
        std::this_thread::sleep_for(milliseconds(2));
        event.close();
    });
    EXPECT_EQ(event.wait(kInfinite), WaitResult::Failed);
    closer.join();
}

}  // namespace
}  // namespace tolvane::posix
