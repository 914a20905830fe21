// The simulated bus: enumeration, opening, Windows' report-length errors, faults, notifications
// and counters.
#include "sim_bus.h"
#include "sim_services.h"

#include <gtest/gtest.h>

#include <vector>

namespace tolvane::sim {
namespace {

std::vector<std::uint8_t> Report(std::size_t length, std::initializer_list<std::uint8_t> head) {
    std::vector<std::uint8_t> report(length, 0);
    std::copy(head.begin(), head.end(), report.begin());
    return report;
}

class RecordingHandler final : public DeviceChangeHandler {
public:
    void onDeviceChange(const DeviceChangeMessage& message) override {
        seen.emplace_back(message.eventType, std::u16string(message.name));
    }
    std::vector<std::pair<std::uint32_t, std::u16string>> seen;
};

class SimBusTest : public ::testing::Test {
protected:
    std::unique_ptr<HidDevice> openFirst(SimDevice& device, DeviceAccess access,
                                         SysError* error = nullptr) {
        SysError local = 0;
        auto handle = bus.open(device.paths().at(0), access, error ? *error : local);
        return handle;
    }
    Held held() const { return bus.held() + services.held(); }

    Transcript transcript;
    SimServices services{transcript};
    SimBus bus{services.timeline(), transcript};
};

TEST_F(SimBusTest, ListIsASnapshotInEnumerationOrder) {
    bus.addDevice(DeviceSpec::plainDevice(0x845E, 0x0001, 0));
    DeviceSpec two = DeviceSpec::target(0x1234, 0x5678);
    two.application.interfaces.push_back(InterfaceSpec{.collectionSuffix = u"&col02"});
    two.application.interfaces.back().detailFails = true;
    SimDevice& target = bus.addDevice(two);

    auto list = bus.listInterfaces();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(bus.held().interfaceLists, 1);
    target.unplug();  // the snapshot keeps its entries
    std::u16string path;
    EXPECT_EQ(list->interfacePath(0, path), InterfaceLookup::Found);
    EXPECT_EQ(path,
              u"\\\\?\\hid#vid_845e&pid_0001#6&1a2b3c4e&0&0000#"
              u"{4d1e55b2-f16f-11cf-88cb-001111000030}");
    EXPECT_EQ(list->interfacePath(1, path), InterfaceLookup::Found);
    EXPECT_EQ(path.substr(0, 26), u"\\\\?\\hid#vid_1234&pid_5678#");
    EXPECT_EQ(list->interfacePath(2, path), InterfaceLookup::Failed);
    EXPECT_EQ(list->interfacePath(3, path), InterfaceLookup::End);
    SysError error = 0;
    EXPECT_EQ(bus.open(path, DeviceAccess::ReadWrite, error), nullptr);
    EXPECT_EQ(error, kErrorFileNotFound);
    list.reset();
    EXPECT_TRUE(held().none());

    bus.failListInterfaces(1);
    EXPECT_EQ(bus.listInterfaces(), nullptr);
    EXPECT_NE(bus.listInterfaces(), nullptr);
    EXPECT_EQ(transcript.count(Call::ListInterfaces), 3u);
}

TEST_F(SimBusTest, OpenAccessFaultsAndCaseInsensitivePaths) {
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    config.application.interfaces[0].readWriteOpenFails = true;
    SimDevice& device = bus.addDevice(config);
    SysError error = 0;
    EXPECT_EQ(openFirst(device, DeviceAccess::ReadWrite, &error), nullptr);
    EXPECT_EQ(error, kErrorAccessDenied);

    std::u16string upper = device.paths()[0];
    for (auto& c : upper) c = c >= u'a' && c <= u'z' ? static_cast<char16_t>(c - 32) : c;
    auto handle = bus.open(upper, DeviceAccess::None, error);
    ASSERT_NE(handle, nullptr);
    EXPECT_EQ(error, 0u);
    HidAttributes attributes;
    EXPECT_EQ(handle->getAttributes(attributes), 0u);
    EXPECT_EQ(attributes.vendorId, 0x5C3B);
    EXPECT_EQ(attributes.productId, 0x0326);
    // Without access rights an output report is refused; feature reports still go.
    EXPECT_EQ(handle->writeOutput(Report(65, {0x00})), kErrorAccessDenied);
    EXPECT_EQ(bus.held().deviceHandles, 1);
    handle.reset();
    EXPECT_TRUE(held().none());

    const auto opens = transcript.of(Call::Open);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].value, static_cast<std::uint32_t>(DeviceAccess::ReadWrite));
    EXPECT_EQ(opens[0].error, kErrorAccessDenied);
    EXPECT_EQ(opens[1].value, static_cast<std::uint32_t>(DeviceAccess::None));
}

TEST_F(SimBusTest, AttributeAndCapabilityFaults) {
    DeviceSpec config = DeviceSpec::target(0x1111, 0x2222);
    config.application.interfaces[0].attributesError = kErrorGenFailure;
    config.application.interfaces[0].capabilitiesError = kErrorInvalidFunction;
    SimDevice& device = bus.addDevice(config);
    auto handle = openFirst(device, DeviceAccess::ReadWrite);
    HidAttributes attributes;
    HidCapabilities capabilities;
    EXPECT_EQ(handle->getAttributes(attributes), kErrorGenFailure);
    EXPECT_EQ(handle->getCapabilities(capabilities), kErrorInvalidFunction);

    DeviceSpec fails = DeviceSpec::target(0x1111, 0x3333);
    fails.application.interfaces[0].openFails = true;
    SimDevice& closed = bus.addDevice(fails);
    SysError error = 0;
    EXPECT_EQ(openFirst(closed, DeviceAccess::None, &error), nullptr);
    EXPECT_EQ(error, kErrorAccessDenied);
}

class ReportLengths : public SimBusTest, public ::testing::WithParamInterface<std::uint16_t> {};

TEST_P(ReportLengths, WrongLengthsFailLikeWindows) {
    const std::uint16_t length = GetParam();
    DeviceSpec config = DeviceSpec::plainDevice(0x1234, 0x0001, length);
    config.application.interfaces[0].outputReportLength = length;
    config.application.interfaces[0].inputReportLength = length;
    SimDevice& device = bus.addDevice(config);
    auto handle = openFirst(device, DeviceAccess::ReadWrite);
    HidCapabilities capabilities;
    ASSERT_EQ(handle->getCapabilities(capabilities), 0u);
    EXPECT_EQ(capabilities.featureReportByteLength, length);
    EXPECT_EQ(capabilities.outputReportByteLength, length);

    std::vector<std::uint8_t> exact(length, 0);
    std::vector<std::uint8_t> shorter(length > 0 ? length - 1 : 0, 0);
    std::vector<std::uint8_t> longer(length + 1u, 0);
    const SysError exactFeature = length == 0 ? kErrorInvalidParameter : 0;
    EXPECT_EQ(handle->setFeature(exact), exactFeature);
    EXPECT_EQ(handle->getFeature(exact), exactFeature);
    EXPECT_EQ(handle->setFeature(longer), kErrorInvalidParameter);
    EXPECT_EQ(handle->getFeature(longer), kErrorInvalidParameter);
    if (length > 0) {
        EXPECT_EQ(handle->setFeature(shorter), kErrorInvalidParameter);
        EXPECT_EQ(handle->writeOutput(exact), 0u);
        EXPECT_EQ(handle->writeOutput(shorter), kErrorInvalidParameter);
        EXPECT_EQ(handle->writeOutput(longer), kErrorInvalidUserBuffer);
    } else {
        EXPECT_EQ(handle->writeOutput(exact), kErrorInvalidFunction);
    }
}

INSTANTIATE_TEST_SUITE_P(Lengths, ReportLengths, ::testing::Values(0, 7, 8, 9, 65, 256, 300));

TEST_F(SimBusTest, RefusalsCountAttemptsPerKind) {
    DeviceSpec config = DeviceSpec::target(0x1234, 0x0001);
    config.application.interfaces[0].refusals.push_back(
        {ReportKind::ResetFeature00, Fault{kErrorGenFailure, 2}});
    config.application.interfaces[0].acceptedResets = kResetOutput0C;
    SimDevice& device = bus.addDevice(config);
    auto handle = openFirst(device, DeviceAccess::ReadWrite);
    const auto reset = Report(65, {0x00, 0x44});
    EXPECT_EQ(handle->setFeature(reset), kErrorGenFailure);
    EXPECT_EQ(handle->setFeature(reset), kErrorGenFailure);
    // Then the device's own verdict: it does not take this form.
    EXPECT_EQ(handle->setFeature(reset), kErrorGenFailure);
    EXPECT_EQ(handle->setFeature(Report(65, {0x40, 0x44})), kErrorGenFailure);
    EXPECT_TRUE(device.present());
    EXPECT_EQ(handle->writeOutput(Report(65, {0x0C, 0x44})), 0u);
    EXPECT_FALSE(device.present());
    EXPECT_EQ(handle->writeOutput(Report(65, {0x0C, 0x44})), kErrorDeviceNotConnected);
    EXPECT_EQ(transcript.reportsSent().size(), 6u);
    EXPECT_EQ(transcript.reportsAccepted().size(), 1u);
}

TEST_F(SimBusTest, NotificationsReachEveryRegisteredWindow) {
    RecordingHandler handler;
    SysError error = 0;
    auto window = services.createNotifyWindow({}, handler, error);
    auto registration = bus.registerNotifications(*window, error);
    ASSERT_NE(registration, nullptr);

    DeviceSpec config = DeviceSpec::bootLoaderOnly(0x0332);
    config.duplicateArrivals = true;
    config.queryRemoveFirst = true;
    SimDevice& device = bus.addDevice(config);
    device.unplug();
    services.dispatchMessages(0);
    const std::u16string path = device.pathOf(Mode::BootLoader);
    ASSERT_EQ(handler.seen.size(), 4u);
    EXPECT_EQ(handler.seen[0], std::make_pair(kDeviceArrival, path));
    EXPECT_EQ(handler.seen[1], std::make_pair(kDeviceArrival, path));
    EXPECT_EQ(handler.seen[2], std::make_pair(kDeviceQueryRemove, path));
    EXPECT_EQ(handler.seen[3], std::make_pair(kDeviceRemoveComplete, path));

    EXPECT_EQ(held().registrations, 1);
    EXPECT_EQ(registration->unregister(), 0u);
    EXPECT_EQ(registration->unregister(), 0u);
    EXPECT_EQ(transcript.count(Call::Unregister), 1u);
    device.plugIn(Mode::BootLoader);
    services.dispatchMessages(0);
    EXPECT_EQ(handler.seen.size(), 4u);
    registration.reset();
    window.reset();
    EXPECT_TRUE(held().none());

    bus.failRegistration(0, 1);
    window = services.createNotifyWindow({}, handler, error);
    error = 99;
    EXPECT_EQ(bus.registerNotifications(*window, error), nullptr);
    EXPECT_EQ(error, 0u);
}

TEST_F(SimBusTest, DeviceAppearsLateAndInstallWaitsAreRecorded) {
    DeviceSpec config = DeviceSpec::bootLoaderOnly();
    config.appearAfterMs = 12500;
    SimDevice& device = bus.addDevice(config);
    EXPECT_FALSE(device.present());
    services.sleep(12000);
    EXPECT_FALSE(device.present());
    services.sleep(1000);
    EXPECT_EQ(device.mode(), std::optional<Mode>(Mode::BootLoader));

    bus.setInstallWaitMs(300);
    bus.waitNoPendingInstallEvents(kInfinite);
    bus.waitNoPendingInstallEvents(100);
    EXPECT_EQ(services.nowMs(), 13000u + 300u + 100u);
    EXPECT_EQ(transcript.installWaits(), (std::vector<std::uint32_t>{kInfinite, 100}));
}

TEST_F(SimBusTest, UnplugAtAReportFailsItAndEveryLaterCall) {
    DeviceSpec config = DeviceSpec::plainDevice(0x1234, 0x0001, 9);
    config.unplugRules.push_back({ReportKind::Any, 3});
    SimDevice& device = bus.addDevice(config);
    auto handle = openFirst(device, DeviceAccess::ReadWrite);
    std::vector<std::uint8_t> report(9, 0);
    EXPECT_EQ(handle->setFeature(report), 0u);
    EXPECT_EQ(handle->getFeature(report), 0u);
    EXPECT_EQ(handle->setFeature(report), kErrorGenFailure);  // the transfer under way breaks
    EXPECT_EQ(handle->setFeature(report), kErrorDeviceNotConnected);
    HidAttributes attributes;
    EXPECT_EQ(handle->getAttributes(attributes), kErrorDeviceNotConnected);
    EXPECT_FALSE(device.present());
    EXPECT_TRUE(bus.presentPaths().empty());
    handle.reset();
    EXPECT_TRUE(held().none());
}

// Over USB a sent report's data is acknowledged before the device acts: the report at which the
// device leaves succeeds, the calls after it find the device gone; a report the host asks for
// (get feature) still breaks, as its answer never comes.
TEST_F(SimBusTest, UnplugAfterAcknowledgingLetsTheSentReportSucceed) {
    struct Case {
        const char* what;
        std::uint32_t at;  // the unplug rule's report number (any kind)
        SysError atReport;
    };
    for (const Case c : {Case{"set feature", 1, 0}, Case{"get feature", 2, kErrorGenFailure},
                         Case{"write output", 3, 0}}) {
        DeviceSpec config = DeviceSpec::plainDevice(0x1234, 0x0001, 9);
        config.identity(Mode::Application).interfaces.at(0).outputReportLength = 9;
        config.unplugRules.push_back({ReportKind::Any, c.at, true});
        SimDevice& device = bus.addDevice(config);
        auto handle = openFirst(device, DeviceAccess::ReadWrite);
        std::vector<std::uint8_t> report(9, 0);
        SysError last = 0;
        for (std::uint32_t n = 1; n <= c.at; ++n) {
            last = n == 1   ? handle->setFeature(report)
                   : n == 2 ? handle->getFeature(report)
                            : handle->writeOutput(report);
            if (n < c.at) {
                ASSERT_EQ(last, 0u) << c.what;
            }
        }
        EXPECT_EQ(last, c.atReport) << c.what;
        EXPECT_EQ(handle->setFeature(report), kErrorDeviceNotConnected) << c.what;
        EXPECT_FALSE(device.present()) << c.what;
        // Only the set feature before the unplug was acted on, never the report at it.
        EXPECT_EQ(device.memory().ignoredReports, c.at == 1 ? 0u : 1u) << c.what;
        handle.reset();
    }
    EXPECT_TRUE(held().none());
}

}  // namespace
}  // namespace tolvane::sim

namespace tolvane::sim {
namespace {

TEST(Transcript, FiltersSinceAMarkAndPrintsReportsShort) {
    Transcript transcript;
    transcript.record({.call = Call::Sleep, .value = 8});
    const std::size_t mark = transcript.size();
    transcript.record(
        {.atMs = 16, .call = Call::SetFeature, .handle = 2, .bytes = {0x00, 0x44, 0, 0}});
    transcript.record({.atMs = 16, .call = Call::WriteOutput, .error = 87, .bytes = {0x0C, 0x44}});
    const auto after = transcript.since(mark);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].toString(), "16 ms SetFeature #2 [4] 00 44");
    EXPECT_EQ(transcript.reportsAccepted().size(), 1u);
    EXPECT_EQ(transcript.sleeps(), std::vector<std::uint32_t>{8});
    EXPECT_NE(transcript.dump().find("WriteOutput error=87 [2] 0C 44"), std::string::npos);
    transcript.setRecordReportBytes(false);
    transcript.record({.call = Call::SetFeature, .bytes = {1, 2, 3}});
    EXPECT_TRUE(transcript.entries().back().bytes.empty());
}

}  // namespace
}  // namespace tolvane::sim
