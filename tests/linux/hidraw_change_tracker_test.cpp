// hidraw nodes coming and going as interface notifications: a removal carries the paths
// remembered from the node's arrival or from the nodes present when watching began; a node of
// several collections comes and goes as several interfaces; lost events are made up for by
// comparing with the nodes present.
#include "hidraw_change_tracker.h"

#include "system_services.h"

#include <gtest/gtest.h>

namespace tolvane::hidraw {
namespace {

constexpr HidId kBootLoader{0x0003, 0x5C3B, 0x030B};
constexpr HidId kApplication{0x0003, 0x5C3B, 0x0325};

HidrawNode Node(std::string name, std::optional<HidId> id, std::string hidDevice,
                std::uint32_t collections = 1) {
    return HidrawNode{std::move(name), std::move(hidDevice), id, collections};
}

const HidrawNode kUnseen{};  // a removal event that tells nothing of its device

std::vector<std::pair<std::uint32_t, std::u16string>> Seen(
    const std::vector<InterfaceChange>& changes) {
    std::vector<std::pair<std::uint32_t, std::u16string>> seen;
    for (const InterfaceChange& change : changes) {
        seen.emplace_back(change.eventType, change.path);
    }
    return seen;
}

using Changes = std::vector<std::pair<std::uint32_t, std::u16string>>;

TEST(HidrawChangeTracker, RemovalCarriesThePathOfTheArrival) {
    HidrawChangeTracker tracker;
    EXPECT_EQ(Seen(tracker.arrived(Node("hidraw4", kBootLoader, "0003:5C3B:030B.0001"))),
              (Changes{{kDeviceArrival, u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw4"}}));
    EXPECT_EQ(Seen(tracker.removed("hidraw4", kUnseen)),
              (Changes{{kDeviceRemoveComplete, u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw4"}}));
    EXPECT_TRUE(tracker.removed("hidraw4", kUnseen).empty()) << "forgotten after its removal";
}

TEST(HidrawChangeTracker, NodePresentBeforeWatchingIsKnownAtItsRemoval) {
    HidrawChangeTracker tracker;
    tracker.remember(Node("hidraw1", HidId{0x0003, 0x5C3B, 0x0332}, "0003:5C3B:0332.0002"));
    EXPECT_EQ(Seen(tracker.removed("hidraw1", kUnseen)),
              (Changes{{kDeviceRemoveComplete, u"\\\\?\\HID#VID_5C3B&PID_0332#hidraw1"}}));
}

TEST(HidrawChangeTracker, NodeOfSeveralCollectionsComesAndGoesAsOneInterfaceEach) {
    HidrawChangeTracker tracker;
    const Changes arrivals = Seen(tracker.arrived(Node("hidraw2", kApplication, "x.0001", 2)));
    EXPECT_EQ(arrivals, (Changes{{kDeviceArrival, u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw2&COL01"},
                                 {kDeviceArrival, u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw2&COL02"}}));
    const Changes removals = Seen(tracker.removed("hidraw2", kUnseen));
    ASSERT_EQ(removals.size(), 2u);
    EXPECT_EQ(removals[0].second, arrivals[0].second);
    EXPECT_EQ(removals[1].second, arrivals[1].second);
}

TEST(HidrawChangeTracker, NodeNumberTakenOverByAnotherDeviceEndsTheFirstAndAnnouncesTheSecond) {
    HidrawChangeTracker tracker;
    tracker.arrived(Node("hidraw0", kApplication, "0003:5C3B:0325.0001"));
    // The application's removal was lost; its node number now belongs to the boot loader.
    EXPECT_EQ(Seen(tracker.arrived(Node("hidraw0", kBootLoader, "0003:5C3B:030B.0002"))),
              (Changes{{kDeviceRemoveComplete, u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw0"},
                       {kDeviceArrival, u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw0"}}));
    EXPECT_EQ(Seen(tracker.removed("hidraw0", kUnseen)),
              (Changes{{kDeviceRemoveComplete, u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw0"}}));
}

TEST(HidrawChangeTracker, SecondAddOfTheSameDeviceIsNotAnnouncedAgain) {
    HidrawChangeTracker tracker;
    tracker.arrived(Node("hidraw2", kBootLoader, "0003:5C3B:030B.0003"));
    EXPECT_TRUE(tracker.arrived(Node("hidraw2", kBootLoader, "0003:5C3B:030B.0003")).empty());
}

TEST(HidrawChangeTracker, UnknownNodesAndOtherNamesAreNotNotified) {
    HidrawChangeTracker tracker;
    EXPECT_TRUE(tracker.removed("hidraw9", kUnseen).empty());
    EXPECT_TRUE(tracker.arrived(Node("event3", kBootLoader, "x.0001")).empty());
}

TEST(HidrawChangeTracker, NodeOfUnknownIdentityIsNeverRememberedAsZeros) {
    HidrawChangeTracker tracker;
    EXPECT_TRUE(tracker.arrived(Node("hidraw5", std::nullopt, "")).empty());
    EXPECT_FALSE(tracker.knows("hidraw5"));
    tracker.remember(Node("hidraw6", std::nullopt, ""));
    EXPECT_FALSE(tracker.knows("hidraw6"));
    // What the removal event tells of its device still makes a removal with the right path.
    EXPECT_EQ(Seen(tracker.removed("hidraw5", Node("hidraw5", kBootLoader, "0003:5C3B:030B.0009"))),
              (Changes{{kDeviceRemoveComplete, u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw5"}}));
}

TEST(HidrawChangeTracker, ComparisonAnnouncesWhatWentWhatCameAndWhatChanged) {
    HidrawChangeTracker tracker;
    tracker.remember(Node("hidraw0", kApplication, "0003:5C3B:0325.0001"));  // will go
    tracker.remember(Node("hidraw1", kApplication, "0003:5C3B:0325.0002"));  // stays
    tracker.remember(Node("hidraw2", kBootLoader, "0003:5C3B:030B.0003"));   // re-attached
    const Changes changes = Seen(tracker.reconcile({
        Node("hidraw1", kApplication, "0003:5C3B:0325.0002"),
        Node("hidraw2", kBootLoader, "0003:5C3B:030B.0005"),
        Node("hidraw3", kBootLoader, "0003:5C3B:030B.0004"),
        Node("hidraw4", std::nullopt, ""),  // not announced until its identity is known
    }));
    EXPECT_EQ(changes, (Changes{{kDeviceRemoveComplete, u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw0"},
                                {kDeviceRemoveComplete, u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw2"},
                                {kDeviceArrival, u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw2"},
                                {kDeviceArrival, u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw3"}}));
    EXPECT_TRUE(tracker
                    .reconcile({Node("hidraw1", kApplication, "0003:5C3B:0325.0002"),
                                Node("hidraw2", kBootLoader, "0003:5C3B:030B.0005"),
                                Node("hidraw3", kBootLoader, "0003:5C3B:030B.0004")})
                    .empty())
        << "a second comparison with the same nodes tells nothing";
}

}  // namespace
}  // namespace tolvane::hidraw
