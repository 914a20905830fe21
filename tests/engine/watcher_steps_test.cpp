// The library watcher's steps against services and a bus that fail exactly where a test says, with
// any error number including 0: the order of the tear-down, which failure wins, and what a start
// answers when a step failed without an error number. Also: concurrent starts and stops.
#include "dfu_engine.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::test {
namespace {

// What each fake did, in order, and the steps that are to fail with their error numbers.
struct StepLog {
    std::vector<std::string> steps;
    std::map<std::string, SysError> failures;

    // Records the step; its error when it is set to fail, else 0.
    SysError take(const std::string& step) {
        const std::lock_guard lock(mutex);
        steps.push_back(step);
        const auto failure = failures.find(step);
        return failure == failures.end() ? 0 : failure->second;
    }
    bool fails(const std::string& step) const { return failures.count(step) != 0; }
    std::mutex mutex;
};

class FakeEvent final : public AutoResetEvent {
public:
    explicit FakeEvent(StepLog& log) : log_(log) {}
    SysError signal() override {
        ++signals;
        return 0;
    }
    WaitResult wait(std::uint32_t) override { return WaitResult::TimedOut; }
    SysError close() override { return log_.take("close event"); }

    std::atomic<int> signals{0};

private:
    StepLog& log_;
};

class FakeWindow final : public NotifyWindow {
public:
    explicit FakeWindow(StepLog& log) : log_(log) {}
    SysError destroy() override { return log_.take("destroy window"); }
    void* nativeHandle() const override { return nullptr; }
    void deliverDeviceChange(std::uint32_t, std::u16string) override {}

private:
    StepLog& log_;
};

class FakeRegistration final : public NotificationRegistration {
public:
    explicit FakeRegistration(StepLog& log) : log_(log) {}
    SysError unregister() override { return log_.take("unregister"); }

private:
    StepLog& log_;
};

class FakeServices final : public SystemServices {
public:
    explicit FakeServices(StepLog& log) : log_(log) {}
    std::unique_ptr<AutoResetEvent> createEvent(SysError& error) override {
        error = log_.take("create event");
        if (log_.fails("create event")) return nullptr;
        auto event = std::make_unique<FakeEvent>(log_);
        lastEvent = event.get();
        return event;
    }
    void sleep(std::uint32_t) override {}
    std::uint64_t nowMs() override { return 0; }
    std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec&, DeviceChangeHandler&,
                                                     SysError& error) override {
        error = log_.take("create window");
        return log_.fails("create window") ? nullptr : std::make_unique<FakeWindow>(log_);
    }
    void showMessageBox(std::u16string_view, std::u16string_view) override {
        log_.take("message box");
        if (whileBoxShown) whileBoxShown();
    }
    void dispatchMessages(std::uint32_t) override {}

    FakeEvent* lastEvent = nullptr;
    std::function<void()> whileBoxShown;

private:
    StepLog& log_;
};

class FakeBus final : public HidBus {
public:
    explicit FakeBus(StepLog& log) : log_(log) {}
    std::unique_ptr<HidInterfaceList> listInterfaces() override { return nullptr; }
    std::unique_ptr<HidDevice> open(std::u16string_view, DeviceAccess, SysError& error) override {
        error = 2;
        return nullptr;
    }
    void waitNoPendingInstallEvents(std::uint32_t) override {}
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow&,
                                                                    SysError& error) override {
        error = log_.take("register");
        return log_.fails("register") ? nullptr : std::make_unique<FakeRegistration>(log_);
    }

private:
    StepLog& log_;
};

class WatcherStepsTest : public ::testing::Test {
protected:
    std::vector<std::string> Steps() {
        std::vector<std::string> steps;
        steps.swap(log.steps);
        return steps;
    }

    StepLog log;
    FakeServices services{log};
    FakeBus bus{log};
    DfuEngine engine{bus, services};
};

using StepList = std::vector<std::string>;

TEST_F(WatcherStepsTest, TearDownDestroysClosesUnregistersAndTheLastFailureWins) {
    ASSERT_EQ(engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(Steps(), (StepList{"create window", "create event", "register"}));
    EXPECT_EQ(engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(Steps(), (StepList{"destroy window", "close event", "unregister"}));

    const std::vector<std::pair<std::map<std::string, SysError>, SysError>> cases = {
        {{{"destroy window", 5}}, 5},
        {{{"close event", 6}}, 6},
        {{{"unregister", 1063}}, 1063},
        {{{"destroy window", 5}, {"close event", 6}}, 6},
        {{{"destroy window", 5}, {"unregister", 1063}}, 1063},
        {{{"close event", 6}, {"unregister", 1063}}, 1063},
    };
    for (const auto& [failures, expected] : cases) {
        log.failures.clear();
        ASSERT_EQ(engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
        Steps();
        log.failures = failures;
        EXPECT_EQ(engine.StopDeviceChangeWatcher(), expected);
        // Every step runs whatever failed before it, and the watcher ends idle.
        EXPECT_EQ(Steps(), (StepList{"destroy window", "close event", "unregister"}));
        EXPECT_EQ(engine.state().initialized, 0u);
        EXPECT_FALSE(engine.state().notifyWindow || engine.state().changeEvent ||
                     engine.state().notifyHandle);
    }
}

TEST_F(WatcherStepsTest, RegistrationFailingWithoutAnErrorNumberIsAGeneralFailure) {
    log.failures = {{"register", 0}};
    EXPECT_EQ(engine.StartDeviceChangeWatcher(), kErrorGenFailure);
    EXPECT_EQ(engine.state().initialized, 1u);
    log.failures.clear();
    EXPECT_EQ(engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(Steps(), (StepList{"create window", "create event", "register", "destroy window",
                                 "close event"}));

    log.failures = {{"register", 1450}};
    EXPECT_EQ(engine.StartDeviceChangeWatcher(), 1450u);
    EXPECT_EQ(engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
}

TEST_F(WatcherStepsTest, WindowFailingWithoutAnErrorNumberGoesOnAndAnswersInvalidHandle) {
    log.failures = {{"create window", 0}};
    EXPECT_EQ(engine.StartDeviceChangeWatcher(), kErrorInvalidHandle);
    // The event, then the box once the start has let go of its lock; nothing to register
    // without a window.
    EXPECT_EQ(Steps(), (StepList{"create window", "create event", "message box"}));
    EXPECT_TRUE(engine.state().changeEvent);
    EXPECT_EQ(engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(Steps(), (StepList{"close event"}));
}

// Without an event every reset would fail its wait: a start must not read as a success.
TEST_F(WatcherStepsTest, EventFailingWithoutAnErrorNumberIsAGeneralFailure) {
    log.failures = {{"create event", 0}};
    EXPECT_EQ(engine.StartDeviceChangeWatcher(), kErrorGenFailure);
    EXPECT_EQ(Steps(), (StepList{"create window", "create event"}));
    EXPECT_FALSE(engine.state().changeEvent);
    EXPECT_EQ(engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(Steps(), (StepList{"destroy window"}));
}

// A start or stop on another thread goes through while the failure box waits for a person.
TEST_F(WatcherStepsTest, FailureBoxIsShownWithoutTheStartStopLock) {
    for (const bool library : {true, false}) {
        log.failures = {{"create window", 1158}};
        std::future_status other = std::future_status::deferred;
        services.whileBoxShown = [&] {
            auto stop = std::async(std::launch::async, [&] {
                engine.StartDeviceChangeWatcher();
                engine.StopDeviceChangeWatcher();
            });
            other = stop.wait_for(std::chrono::seconds(20));
        };
        if (library) {
            EXPECT_EQ(engine.StartDeviceChangeWatcher(), 1158u);
        } else {
            engine.StartProgramDeviceChangeWatcher();
        }
        EXPECT_EQ(other, std::future_status::ready) << (library ? "library" : "program");
        services.whileBoxShown = nullptr;
        log.failures.clear();
        engine.StopDeviceChangeWatcher();
    }
}

TEST_F(WatcherStepsTest, ProgramVariantWithZeroErrorsAttemptsEveryStepAndReportsNothing) {
    log.failures = {{"create window", 0}};
    engine.StartProgramDeviceChangeWatcher();
    EXPECT_EQ(Steps(), (StepList{"create window", "create event", "message box"}));
    EXPECT_EQ(engine.state().initialized, 0u);

    log.failures = {{"create event", 0}, {"register", 0}};
    engine.StartProgramDeviceChangeWatcher();
    EXPECT_EQ(Steps(), (StepList{"create window", "create event", "register"}));
    EXPECT_EQ(engine.state().initialized, 1u);
    log.failures = {{"destroy window", 5}};
    engine.StopProgramDeviceChangeWatcher();
    EXPECT_EQ(Steps(), (StepList{"destroy window"}));
    EXPECT_EQ(engine.state().initialized, 0u);
}

// Several threads start and stop the one watcher at once, as careless callers of the library do:
// every call answers, none hangs, and the watcher works afterwards.
TEST_F(WatcherStepsTest, ConcurrentStartsAndStopsEachAnswerAndLeaveItUsable) {
    constexpr int kThreads = 4;
    constexpr int kPairs = 2000;
    std::atomic<int> unexpected{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&] {
            for (int i = 0; i < kPairs; ++i) {
                if (engine.StartDeviceChangeWatcher() != DFU_SUCCESS) ++unexpected;
                if (engine.StopDeviceChangeWatcher() != DFU_SUCCESS) ++unexpected;
            }
        });
    }
    threads.emplace_back([&] {
        for (int i = 0; i < kPairs; ++i) {
            if (engine.StopDeviceChangeWatcher() != DFU_SUCCESS) ++unexpected;
        }
    });
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(unexpected.load(), 0);
    EXPECT_EQ(engine.state().initialized, 0u);
    EXPECT_FALSE(engine.state().notifyWindow || engine.state().changeEvent ||
                 engine.state().notifyHandle);
    // Every window made was destroyed exactly once.
    const std::vector<std::string> steps = Steps();
    EXPECT_EQ(std::count(steps.begin(), steps.end(), "create window"),
              std::count(steps.begin(), steps.end(), "destroy window"));
    EXPECT_EQ(engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    EXPECT_EQ(engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
}

}  // namespace
}  // namespace tolvane::test

namespace tolvane::test {
namespace {

// Every matching arrival signals the event while other threads call the starts, which on a
// running watcher do nothing but take the start/stop lock: the window's procedure never gives up
// on that lock (the loop of a probe that lost most such arrivals to a try-lock).
TEST_F(WatcherStepsTest, NoArrivalIsLostWhileOtherThreadsCallStart) {
    constexpr int kArrivals = 20000;
    ASSERT_EQ(engine.StartDeviceChangeWatcher(), DFU_SUCCESS);
    FakeEvent* event = services.lastEvent;
    ASSERT_NE(event, nullptr);
    // As after a reset that named the boot loader itself: an arrival is awaited.
    const_cast<std::atomic<PendingChange>&>(engine.state().pendingChange)
        .store(PendingChange::DfuArrival);
    std::atomic<bool> done{false};
    std::vector<std::thread> callers;
    for (int t = 0; t < 2; ++t) {
        callers.emplace_back([&] {
            while (!done.load()) {
                engine.StartDeviceChangeWatcher();
                engine.StartProgramDeviceChangeWatcher();
            }
        });
    }
    for (int i = 0; i < kArrivals; ++i) {
        engine.DeviceChangeProc(DeviceChangeMessage{kDeviceArrival, kDevTypeDeviceInterface,
                                                    u"\\\\?\\HID#VID_5C3B&PID_030B#1"});
    }
    done = true;
    for (std::thread& caller : callers) caller.join();
    EXPECT_EQ(event->signals.load(), kArrivals);
    EXPECT_EQ(engine.StopDeviceChangeWatcher(), DFU_SUCCESS);
}

}  // namespace
}  // namespace tolvane::test
