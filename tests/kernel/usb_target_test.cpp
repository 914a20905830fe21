// The USB target's own decisions, which the linux-usb stage relies on: the FunctionFS descriptors
// it writes, what each report on ep0 means to the device model (from the SETUP packet and the
// device's state alone), which fault rule strikes which report, and that a stop ends a data stage
// blocked on ep0.
#include "hid_function_descriptors.h"
#include "report_rules.h"
#include "stoppable_call.h"
#include "unique_fd.h"

#include <linux/usb/functionfs.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <thread>

namespace tolvane::usb {
namespace {

std::uint32_t Le32(const std::vector<std::uint8_t>& bytes, std::size_t at) {
    return static_cast<std::uint32_t>(bytes[at]) | static_cast<std::uint32_t>(bytes[at + 1]) << 8 |
           static_cast<std::uint32_t>(bytes[at + 2]) << 16 |
           static_cast<std::uint32_t>(bytes[at + 3]) << 24;
}

TEST(UsbTargetDescriptors, NameTheReportDescriptorsLengthAtBothSpeeds) {
    const auto blob = HidFunctionDescriptors(0x0123);
    ASSERT_EQ(blob.size(), 20u + 2 * (9 + 9 + 7));
    EXPECT_EQ(Le32(blob, 0), static_cast<std::uint32_t>(FUNCTIONFS_DESCRIPTORS_MAGIC_V2));
    EXPECT_EQ(Le32(blob, 4), blob.size()) << "the length field counts the whole blob";
    EXPECT_EQ(Le32(blob, 8),
              static_cast<std::uint32_t>(FUNCTIONFS_HAS_FS_DESC | FUNCTIONFS_HAS_HS_DESC));
    EXPECT_EQ(Le32(blob, 12), 3u);
    EXPECT_EQ(Le32(blob, 16), 3u);
    for (const std::size_t speed : {std::size_t{20}, std::size_t{20 + 25}}) {
        EXPECT_EQ(blob[speed + 5], 0x03) << "interface class HID";
        const std::size_t hid = speed + 9;
        EXPECT_EQ(blob[hid + 1], 0x21);
        EXPECT_EQ(blob[hid + 6], 0x22) << "a report descriptor follows";
        EXPECT_EQ(blob[hid + 7] | blob[hid + 8] << 8, 0x0123);
        EXPECT_EQ(blob[hid + 9 + 2], 0x81) << "endpoint 1 IN";
        EXPECT_EQ(blob[hid + 9 + 3], 0x03) << "interrupt";
    }
    const auto strings = NoFunctionStrings();
    ASSERT_EQ(strings.size(), 16u);
    EXPECT_EQ(Le32(strings, 4), 16u);
}

TEST(UsbTargetReports, EachRequestMeansWhatTheDevicesStateMakesIt) {
    sim::DeviceMemory idle;
    sim::DeviceMemory receiving;
    receiving.setups = 1;
    receiving.announcedSize = 100;
    receiving.image.resize(40);
    sim::DeviceMemory received = receiving;
    received.image.resize(100);
    sim::DeviceMemory finishing = received;
    finishing.finishQueries = 1;
    struct Case {
        const char* name;
        sim::Mode mode;
        std::uint8_t request;
        std::uint8_t type;
        const sim::DeviceMemory& memory;
        UsbReportKind kind;
    };
    using enum UsbReportKind;
    const auto app = sim::Mode::Application;
    const auto loader = sim::Mode::BootLoader;
    const Case cases[] = {
        {"application feature set", app, kSetReport, kReportTypeFeature, idle, ResetFeature},
        {"application output set", app, kSetReport, kReportTypeOutput, idle, ResetOutput},
        {"application feature get", app, kGetReport, kReportTypeFeature, idle, Other},
        {"boot loader before a setup", loader, kSetReport, kReportTypeFeature, idle, Other},
        {"bytes outstanding", loader, kSetReport, kReportTypeFeature, receiving, Data},
        {"all bytes in: the finish query", loader, kSetReport, kReportTypeFeature, received, Other},
        {"get before the finish query", loader, kGetReport, kReportTypeFeature, received, Other},
        {"get after the finish query", loader, kGetReport, kReportTypeFeature, finishing,
         ChecksumAnswer},
        {"boot loader output", loader, kSetReport, kReportTypeOutput, receiving, Other},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(ClassifyReport(c.mode, c.request, c.type, c.memory), c.kind) << c.name;
    }
}

TEST(UsbTargetRules, ParseOnlyKnownKindsAndWholeNumbers) {
    ReportRule rule;
    EXPECT_TRUE(ParseStallRule("reset-feature", rule));
    EXPECT_EQ(rule.kind, UsbReportKind::ResetFeature);
    EXPECT_EQ(rule.number, 0u) << "every one";
    EXPECT_TRUE(ParseStallRule("data:3", rule));
    EXPECT_EQ(rule.number, 3u);
    EXPECT_TRUE(ParseLateRule("checksum-answer:6000", rule));
    EXPECT_EQ(rule.delayMs, 6000u);
    EXPECT_EQ(rule.number, 1u);
    EXPECT_TRUE(rule.once);
    EXPECT_TRUE(ParseLateRule("data:100:7", rule));
    EXPECT_EQ(rule.number, 7u);
    for (const char* bad : {"", "reset", "data:", "data:0", "data:3x", "data:1:2"}) {
        EXPECT_FALSE(ParseStallRule(bad, rule)) << bad;
    }
    for (const char* bad : {"data", "data:0", "checksum-answer:-1", "data:5:0", "data:1:2:3"}) {
        EXPECT_FALSE(ParseLateRule(bad, rule)) << bad;
    }
}

TEST(UsbTargetRules, StrikeTheChosenReportEveryTimeOrOnce) {
    ReportRules rules;
    rules.add({.kind = UsbReportKind::Data, .number = 3});
    rules.add({.kind = UsbReportKind::ResetFeature,
               .action = RuleAction::Late,
               .number = 2,
               .delayMs = 10,
               .once = true});
    sim::DeviceMemory memory;
    memory.dataReports = 1;
    EXPECT_FALSE(rules.strike(UsbReportKind::Data, memory)) << "the second data report";
    memory.dataReports = 2;
    for (int retry = 0; retry < 3; ++retry) {
        const auto struck = rules.strike(UsbReportKind::Data, memory);
        ASSERT_TRUE(struck) << "the third, each time it is sent";
        EXPECT_EQ(struck->action, RuleAction::Stall);
    }
    EXPECT_FALSE(rules.strike(UsbReportKind::ResetFeature, memory)) << "the first reset";
    const auto late = rules.strike(UsbReportKind::ResetFeature, memory);
    ASSERT_TRUE(late);
    EXPECT_EQ(late->delayMs, 10u);
    EXPECT_FALSE(rules.strike(UsbReportKind::ResetFeature, memory)) << "spent";
    EXPECT_FALSE(rules.strike(UsbReportKind::Other, memory));
}

// The stop flag set while the call blocks, with no signal to this thread (as when the stop signal
// came just before the call began), still ends it; a call woken on the way returns its data once.
TEST(UsbTargetStoppableCall, EndsOnceStopIsSetAndLetsDataThrough) {
    using std::chrono::milliseconds;
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const posix::UniqueFd reader(ends[0]);
    const posix::UniqueFd writer(ends[1]);
    volatile std::sig_atomic_t stop = 0;
    char byte = 0;
    auto readByte = [&] { return ::read(reader.get(), &byte, 1); };

    std::thread stopper([&] {
        std::this_thread::sleep_for(milliseconds(50));
        stop = 1;
    });
    const ssize_t stopped = CallUntilStopped(stop, readByte, milliseconds(5));
    const int stoppedErrno = errno;
    stopper.join();
    EXPECT_EQ(stopped, -1);
    EXPECT_EQ(stoppedErrno, EINTR);

    stop = 0;
    std::thread sender([&] {
        std::this_thread::sleep_for(milliseconds(50));
        EXPECT_EQ(::write(writer.get(), "x", 1), 1);
    });
    const ssize_t got = CallUntilStopped(stop, readByte, milliseconds(5));
    sender.join();
    EXPECT_EQ(got, 1);
    EXPECT_EQ(byte, 'x');
}

}  // namespace
}  // namespace tolvane::usb
