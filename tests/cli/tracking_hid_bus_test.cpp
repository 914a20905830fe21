// The failed opens the tool explains: per interface, by the outcome of its last attempts.
#include "buses/tracking_hid_bus.h"

#include "mock_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

namespace tolvane::cli {
namespace {

using test::MockDevice;
using test::MockHidBus;
using ::testing::_;
using ::testing::Eq;
using ::testing::Return;

// Opens of `path` succeed for the access modes in `opens` and fail with `error` otherwise.
void Answer(MockHidBus& bus, std::u16string path, bool readWrite, bool query, SysError error) {
    EXPECT_CALL(bus, open(Eq(path), _, _))
        .WillRepeatedly([=](std::u16string_view, DeviceAccess access, SysError& e) {
            const bool ok = access == DeviceAccess::ReadWrite ? readWrite : query;
            e = ok ? 0 : error;
            return ok ? std::make_unique<MockDevice>() : std::unique_ptr<MockDevice>();
        });
}

TEST(TrackingHidBus, SortsInterfacesByHowFarTheirOpensGot) {
    MockHidBus inner;
    Answer(inner, u"locked", false, false, kErrorAccessDenied);
    Answer(inner, u"query-only", false, true, kErrorAccessDenied);
    Answer(inner, u"fine", true, true, 0);
    Answer(inner, u"gone", false, false, kErrorDeviceNotConnected);
    TrackingHidBus bus(inner, {});
    for (int pass = 0; pass < 3; ++pass) {  // the engine's search passes open everything again
        for (const std::u16string path : {u"locked", u"query-only", u"fine", u"gone"}) {
            SysError error = 0;
            if (!bus.open(path, DeviceAccess::ReadWrite, error)) {
                bus.open(path, DeviceAccess::None, error);
            }
        }
    }
    const OpenFailures failures = bus.openFailures();
    EXPECT_EQ(failures.unopened,
              (std::map<SysError, int>{{kErrorAccessDenied, 1}, {kErrorDeviceNotConnected, 1}}));
    EXPECT_EQ(failures.queryOnly, (std::map<SysError, int>{{kErrorAccessDenied, 1}}));
}

TEST(TrackingHidBus, AnInterfaceThatOpenedReadWriteOnceIsNoFailure) {
    MockHidBus inner;
    SysError next = kErrorAccessDenied;
    EXPECT_CALL(inner, open(_, _, _)).WillRepeatedly([&](auto, auto, SysError& e) {
        e = next;
        return e == 0 ? std::make_unique<MockDevice>() : std::unique_ptr<MockDevice>();
    });
    TrackingHidBus bus(inner, {});
    SysError error = 0;
    bus.open(u"p", DeviceAccess::ReadWrite, error);
    next = 0;
    bus.open(u"p", DeviceAccess::ReadWrite, error);
    EXPECT_FALSE(bus.openFailures().any());
}

TEST(TrackingHidBus, TellsOfEveryReportWrittenBeforeItGoesOut) {
    MockHidBus inner;
    auto device = std::make_unique<MockDevice>();
    EXPECT_CALL(*device, setFeature(_)).WillOnce(Return(kErrorGenFailure));
    EXPECT_CALL(*device, writeOutput(_)).WillOnce(Return(0));
    EXPECT_CALL(*device, getFeature(_)).WillOnce(Return(0));
    EXPECT_CALL(inner, open(_, _, _)).WillOnce([&](auto, auto, SysError& e) {
        e = 0;
        return std::move(device);
    });
    int writes = 0;
    TrackingHidBus bus(inner, [&] { ++writes; });
    SysError error = 0;
    auto opened = bus.open(u"p", DeviceAccess::ReadWrite, error);
    const std::uint8_t report[2] = {0, 0x44};
    std::uint8_t answer[2] = {0, 0};
    // A refused report may have reached the device all the same: it counts.
    EXPECT_EQ(opened->setFeature(report), kErrorGenFailure);
    opened->getFeature(answer);
    EXPECT_EQ(writes, 1);
    opened->writeOutput(report);
    EXPECT_EQ(writes, 2);
}

}  // namespace
}  // namespace tolvane::cli
