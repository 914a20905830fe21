// The POSIX notification window beyond its contract (tests/conformance): waking a waiting
// dispatch, a handler that destroys its window, the target that outlives it, handling on the
// delivering thread.
#include "posix_notify_window.h"
#include "posix_services.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <future>
#include <memory>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::posix {
namespace {

struct Seen {
    std::uint32_t eventType;
    std::uint32_t deviceType;
    std::u16string name;
    std::thread::id thread;
};

class RecordingHandler : public DeviceChangeHandler {
public:
    void onDeviceChange(const DeviceChangeMessage& message) override {
        seen.push_back({message.eventType, message.deviceType, std::u16string(message.name),
                        std::this_thread::get_id()});
        if (destroyOnFirst != nullptr) {
            destroyResult = destroyOnFirst->destroy();
            destroyOnFirst = nullptr;
        }
    }
    std::vector<Seen> seen;
    NotifyWindow* destroyOnFirst = nullptr;
    SysError destroyResult = 0xFFFF;
};

constexpr std::u16string_view kPath = u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw3";

class NotifyWindowTest : public ::testing::Test {
protected:
    std::unique_ptr<NotifyWindow> makeWindow() {
        SysError error = 0xFFFF;
        auto window = services.createNotifyWindow(NotifyWindowSpec{}, handler, error);
        EXPECT_EQ(error, 0u);
        EXPECT_NE(window, nullptr);
        return window;
    }
    PosixServices services;
    RecordingHandler handler;
};

TEST_F(NotifyWindowTest, DispatchWaitingForAMessageWakesWhenOneIsDelivered) {
    auto window = makeWindow();
    std::thread sender([&window] {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
        window->deliverDeviceChange(kDeviceArrival, std::u16string(kPath));
    });
    // A generous limit: the delivery ends the wait long before it.
    services.dispatchMessages(60000);
    sender.join();
    EXPECT_EQ(handler.seen.size(), 1u);
}

TEST_F(NotifyWindowTest, DispatchWithNothingQueuedReturnsNotBeforeItsLimit) {
    auto window = makeWindow();
    const auto start = std::chrono::steady_clock::now();
    services.dispatchMessages(3);
    EXPECT_GE(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(3));
    EXPECT_TRUE(handler.seen.empty());
}

TEST_F(NotifyWindowTest, HandlerMayDestroyItsOwnWindowAndTheRestOfTheBatchIsDropped) {
    auto window = makeWindow();
    handler.destroyOnFirst = window.get();
    window->deliverDeviceChange(kDeviceArrival, u"one");
    window->deliverDeviceChange(kDeviceArrival, u"two");
    services.dispatchMessages(0);
    EXPECT_EQ(handler.destroyResult, 0u);
    ASSERT_EQ(handler.seen.size(), 1u);
    EXPECT_EQ(handler.seen[0].name, u"one");
}

TEST_F(NotifyWindowTest, DeletingTheWindowDropsItsQueuedMessages) {
    auto window = makeWindow();
    window->deliverDeviceChange(kDeviceArrival, std::u16string(kPath));
    window.reset();
    services.dispatchMessages(0);
    EXPECT_TRUE(handler.seen.empty());
}

TEST_F(NotifyWindowTest, TargetOutlivesTheWindowAndDropsLateDeliveries) {
    auto window = makeWindow();
    auto* posixWindow = static_cast<PosixNotifyWindow*>(window.get());
    const std::shared_ptr<NotifyWindowTarget> target = posixWindow->target();
    window.reset();
    target->deliver(kDeviceArrival, std::u16string(kPath));
    services.dispatchMessages(0);
    EXPECT_TRUE(handler.seen.empty());
}

TEST_F(NotifyWindowTest, EachWindowReachesItsOwnHandler) {
    RecordingHandler second;
    SysError error = 0;
    auto first = makeWindow();
    auto other = services.createNotifyWindow(NotifyWindowSpec{80, 20}, second, error);
    ASSERT_NE(other, nullptr);
    other->deliverDeviceChange(kDeviceRemoveComplete, u"b");
    first->deliverDeviceChange(kDeviceArrival, u"a");
    services.dispatchMessages(0);
    ASSERT_EQ(handler.seen.size(), 1u);
    EXPECT_EQ(handler.seen[0].name, u"a");
    ASSERT_EQ(second.seen.size(), 1u);
    EXPECT_EQ(second.seen[0].name, u"b");
}

TEST_F(NotifyWindowTest, NativeHandleIsTheWindowObject) {
    auto window = makeWindow();
    EXPECT_EQ(window->nativeHandle(), static_cast<void*>(window.get()));
}

TEST(NotifyWindowDeliveringThread, HandlesAtOnceOnTheDeliveringThreadWithoutDispatch) {
    PosixServices services(NotificationDelivery::DeliveringThread);
    RecordingHandler handler;
    SysError error = 0;
    auto window = services.createNotifyWindow(NotifyWindowSpec{}, handler, error);
    ASSERT_NE(window, nullptr);
    std::thread::id sender;
    std::thread other([&] {
        sender = std::this_thread::get_id();
        window->deliverDeviceChange(kDeviceRemoveComplete, std::u16string(kPath));
    });
    other.join();
    ASSERT_EQ(handler.seen.size(), 1u);
    EXPECT_EQ(handler.seen[0].thread, sender);
    EXPECT_EQ(handler.seen[0].eventType, kDeviceRemoveComplete);
    EXPECT_EQ(handler.seen[0].deviceType, kDevTypeDeviceInterface);

    EXPECT_EQ(window->destroy(), 0u);
    window->deliverDeviceChange(kDeviceArrival, std::u16string(kPath));
    EXPECT_EQ(handler.seen.size(), 1u) << "nothing is handled after destruction";
}

TEST(NotifyWindowDeliveringThread, DestroyWaitsForAHandlerCallInProgress) {
    class SlowHandler : public DeviceChangeHandler {
    public:
        void onDeviceChange(const DeviceChangeMessage&) override {
            entered.set_value();
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            finished = true;
        }
        std::promise<void> entered;
        std::atomic<bool> finished{false};
    } handler;
    PosixServices services(NotificationDelivery::DeliveringThread);
    SysError error = 0;
    auto window = services.createNotifyWindow(NotifyWindowSpec{}, handler, error);
    ASSERT_NE(window, nullptr);
    std::thread other([&] { window->deliverDeviceChange(kDeviceArrival, std::u16string(kPath)); });
    handler.entered.get_future().wait();
    EXPECT_EQ(window->destroy(), 0u);
    EXPECT_TRUE(handler.finished) << "destroy returned while the handler still ran";
    other.join();
}

}  // namespace
}  // namespace tolvane::posix
