// The tool's bus stack: each layer put on sits above the ones before it, so a call through the
// top passes the report log, the pin and the tracking on its way to the bus below.
#include "buses/bus_stack.h"

#include "mock_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace tolvane::cli {
namespace {

using test::MockHidBus;
using ::testing::_;

TEST(BusStack, CallsThroughTheTopPassEveryLayer) {
    MockHidBus inner;
    EXPECT_CALL(inner, open(_, _, _)).WillOnce([](auto, auto, SysError& error) {
        error = kErrorAccessDenied;
        return std::unique_ptr<HidDevice>();
    });
    BusStack stack(inner);
    EXPECT_EQ(&stack.top(), &inner);
    EXPECT_EQ(stack.locking(), nullptr);
    TrackingHidBus& tracked = stack.track({}, {});
    stack.pinToFirstDevice();
    std::ostringstream log;
    stack.log(log, [] { return std::uint64_t{0}; }, {});
    EXPECT_NE(&stack.top(), &tracked);

    SysError error = 0;
    EXPECT_EQ(stack.top().open(u"path", DeviceAccess::ReadWrite, error), nullptr);
    EXPECT_EQ(error, kErrorAccessDenied);
    EXPECT_FALSE(log.str().empty()) << "the report log is on top";
    EXPECT_EQ(tracked.openFailures().unopened, (std::map<SysError, int>{{kErrorAccessDenied, 1}}));
}

TEST(BusStack, TheLockIsTheLowestLayer) {
    MockHidBus inner;
    BusStack stack(inner);
    const LockingHidBus& lock = stack.lock({});
    EXPECT_EQ(stack.locking(), &lock);
    EXPECT_EQ(&stack.top(), static_cast<const HidBus*>(&lock));
    EXPECT_NE(&stack.track({}, {}), static_cast<const HidBus*>(&lock));
}

}  // namespace
}  // namespace tolvane::cli
