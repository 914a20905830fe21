// udev events as interface notifications: a removal carries the path remembered from the node's
// arrival or from the nodes present when watching began.
#include "hidraw_change_tracker.h"

#include "system_services.h"

#include <gtest/gtest.h>

namespace tolvane::hidraw {
namespace {

constexpr HidId kBootLoader{0x0003, 0x5C3B, 0x030B};

TEST(HidrawChangeTracker, RemovalCarriesThePathOfTheArrival) {
    HidrawChangeTracker tracker;
    const auto arrival = tracker.onEvent("add", "hidraw4", kBootLoader);
    ASSERT_TRUE(arrival.has_value());
    EXPECT_EQ(arrival->eventType, kDeviceArrival);
    EXPECT_EQ(arrival->path, u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw4");

    // A removed node's HID device is gone: no identifiers come with the event.
    const auto removal = tracker.onEvent("remove", "hidraw4", std::nullopt);
    ASSERT_TRUE(removal.has_value());
    EXPECT_EQ(removal->eventType, kDeviceRemoveComplete);
    EXPECT_EQ(removal->path, arrival->path);

    EXPECT_FALSE(tracker.onEvent("remove", "hidraw4", std::nullopt).has_value())
        << "forgotten after its removal";
}

TEST(HidrawChangeTracker, NodePresentBeforeWatchingIsKnownAtItsRemoval) {
    HidrawChangeTracker tracker;
    tracker.remember(HidrawNode{"hidraw1", HidId{0x0003, 0x5C3B, 0x0332}});
    const auto removal = tracker.onEvent("remove", "hidraw1", std::nullopt);
    ASSERT_TRUE(removal.has_value());
    EXPECT_EQ(removal->path, u"\\\\?\\HID#VID_5C3B&PID_0332#hidraw1");
}

TEST(HidrawChangeTracker, NodeNumberReusedByAnotherDeviceGetsTheNewPath) {
    HidrawChangeTracker tracker;
    tracker.onEvent("add", "hidraw0", HidId{0x0003, 0x1234, 0x0325});
    tracker.onEvent("remove", "hidraw0", std::nullopt);
    tracker.onEvent("add", "hidraw0", kBootLoader);
    const auto removal = tracker.onEvent("remove", "hidraw0", std::nullopt);
    ASSERT_TRUE(removal.has_value());
    EXPECT_EQ(removal->path, u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw0");
}

TEST(HidrawChangeTracker, OtherActionsUnknownNodesAndOtherNamesAreNotNotified) {
    HidrawChangeTracker tracker;
    tracker.onEvent("add", "hidraw2", kBootLoader);
    EXPECT_FALSE(tracker.onEvent("change", "hidraw2", kBootLoader).has_value());
    EXPECT_FALSE(tracker.onEvent("bind", "hidraw2", kBootLoader).has_value());
    EXPECT_FALSE(tracker.onEvent("remove", "hidraw9", std::nullopt).has_value());
    EXPECT_FALSE(tracker.onEvent("add", "event3", kBootLoader).has_value());
    // The "change" did not make hidraw2 forgotten.
    EXPECT_TRUE(tracker.onEvent("remove", "hidraw2", std::nullopt).has_value());
}

TEST(HidrawChangeTracker, ArrivalWithUnknownIdentifiersHasZeroIdentifiers) {
    HidrawChangeTracker tracker;
    const auto arrival = tracker.onEvent("add", "hidraw5", std::nullopt);
    ASSERT_TRUE(arrival.has_value());
    EXPECT_EQ(arrival->path, u"\\\\?\\HID#VID_0000&PID_0000#hidraw5");
}

}  // namespace
}  // namespace tolvane::hidraw
