#include "buses/logging_hid_bus.h"

#include "mock_platform.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <sstream>

namespace tolvane::cli {
namespace {

using test::MockDevice;
using test::MockHidBus;
using ::testing::_;
using ::testing::HasSubstr;
using ::testing::Return;
using ::testing::StrictMock;

class LoggingHidBusTest : public ::testing::Test {
protected:
    std::uint64_t now_ = 0;
    std::ostringstream out_;
    ReportLog log_{out_, [this] { return now_; }};
    StrictMock<MockHidBus> inner_;
    LoggingHidBus bus_{inner_, log_};
};

TEST_F(LoggingHidBusTest, ForwardsReportsUnchangedAndLogsThemInHexWithTheirTime) {
    auto device = std::make_unique<StrictMock<MockDevice>>();
    auto* raw = device.get();
    EXPECT_CALL(*raw, setFeature(_)).WillOnce([](std::span<const std::uint8_t> report) {
        EXPECT_EQ(std::vector<std::uint8_t>(report.begin(), report.end()),
                  (std::vector<std::uint8_t>{0x00, 0x22, 0xAB}));
        return SysError{0};
    });
    EXPECT_CALL(*raw, getFeature(_)).WillOnce([](std::span<std::uint8_t> report) {
        report[1] = 0x12;
        report[2] = 0xEF;
        return SysError{0};
    });
    EXPECT_CALL(*raw, writeOutput(_)).WillOnce(Return(kErrorGenFailure));
    EXPECT_CALL(inner_, open(_, DeviceAccess::ReadWrite, _))
        .WillOnce([&device](std::u16string_view, DeviceAccess, SysError& error) {
            error = 0;
            return std::move(device);
        });

    now_ = 5000;
    SysError error = 0;
    auto opened = bus_.open(u"\\\\?\\hid#one", DeviceAccess::ReadWrite, error);
    ASSERT_TRUE(opened);
    now_ = 6234;
    const std::uint8_t sent[] = {0x00, 0x22, 0xAB};
    EXPECT_EQ(opened->setFeature(sent), 0u);
    std::uint8_t answer[3] = {0x00, 0x00, 0x00};
    EXPECT_EQ(opened->getFeature(answer), 0u);
    EXPECT_EQ(answer[1], 0x12);  // the answer reaches the caller
    const std::uint8_t output[] = {0x0C, 0x44};
    EXPECT_EQ(opened->writeOutput(output), kErrorGenFailure);  // and so do failures
    opened.reset();

    const std::string text = out_.str();
    EXPECT_THAT(text, HasSubstr("[     0.000] #1 open \\\\?\\hid#one (read-write)\n"));
    EXPECT_THAT(text, HasSubstr("[     1.234] #1 set feature  -> 00 22 ab  ok\n"));
    EXPECT_THAT(text, HasSubstr("[     1.234] #1 get feature  <- 00 12 ef\n"));
    EXPECT_THAT(text, HasSubstr("#1 write output -> 0c 44  error 31\n"));
    EXPECT_THAT(text, HasSubstr("#1 close\n"));
}

TEST_F(LoggingHidBusTest, FailedOpenIsLoggedAndPassedOn) {
    EXPECT_CALL(inner_, open(_, DeviceAccess::None, _))
        .WillOnce([](std::u16string_view, DeviceAccess, SysError& error) {
            error = 5;
            return std::unique_ptr<HidDevice>();
        });
    SysError error = 0;
    EXPECT_FALSE(bus_.open(u"p", DeviceAccess::None, error));
    EXPECT_EQ(error, 5u);
    EXPECT_THAT(out_.str(), HasSubstr("open p (query): error 5\n"));
}

TEST_F(LoggingHidBusTest, SerialNumbersAndPortsAreForwardedAndLogged) {
    auto device = std::make_unique<StrictMock<MockDevice>>();
    EXPECT_CALL(*device, getSerialNumber(_)).WillOnce([](std::u16string& serial) {
        serial = u"SN-42";
        return SysError{0};
    });
    EXPECT_CALL(inner_, open(_, _, _)).WillOnce([&device](auto, auto, SysError& error) {
        error = 0;
        return std::move(device);
    });
    EXPECT_CALL(inner_, portOf(_, _))
        .WillOnce([](std::u16string_view path, std::string& port) {
            EXPECT_EQ(path, u"p");
            port = "1-1.4";
            return SysError{0};
        })
        .WillOnce(Return(kErrorInvalidFunction));
    SysError error = 0;
    auto opened = bus_.open(u"p", DeviceAccess::None, error);
    std::u16string serial;
    EXPECT_EQ(opened->getSerialNumber(serial), 0u);
    EXPECT_EQ(serial, u"SN-42");
    std::string port;
    EXPECT_EQ(bus_.portOf(u"p", port), 0u);
    EXPECT_EQ(port, "1-1.4");
    EXPECT_EQ(bus_.portOf(u"p", port), kErrorInvalidFunction);
    EXPECT_THAT(out_.str(), HasSubstr("#1 serial number: \"SN-42\"\n"));
    EXPECT_THAT(out_.str(), HasSubstr("port of p: 1-1.4\n"));
    EXPECT_THAT(out_.str(), HasSubstr("port of p: error 1\n"));
}

TEST(LoggingHidBus, FailuresCarryTheSystemsOwnDetail) {
    std::ostringstream out;
    ReportLog log(out, [] { return std::uint64_t{0}; });
    StrictMock<MockHidBus> inner;
    LoggingHidBus bus(inner, log, [] { return std::string("errno 13 (Permission denied)"); });
    EXPECT_CALL(inner, open(_, _, _)).WillOnce([](auto, auto, SysError& error) {
        error = kErrorAccessDenied;
        return std::unique_ptr<HidDevice>();
    });
    SysError error = 0;
    bus.open(u"/dev/hidraw3", DeviceAccess::ReadWrite, error);
    EXPECT_THAT(
        out.str(),
        HasSubstr("open /dev/hidraw3 (read-write): error 5 [errno 13 (Permission denied)]"));
}

TEST_F(LoggingHidBusTest, InstallWaitsAreForwarded) {
    EXPECT_CALL(inner_, waitNoPendingInstallEvents(10000));
    EXPECT_CALL(inner_, waitNoPendingInstallEvents(kInfinite));
    bus_.waitNoPendingInstallEvents(10000);
    bus_.waitNoPendingInstallEvents(kInfinite);
    EXPECT_THAT(out_.str(), HasSubstr("(at most 10000 ms)"));
}

}  // namespace
}  // namespace tolvane::cli
