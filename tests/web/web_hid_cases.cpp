// Where WebHID differs from the HID bus contract, and what the web backend makes of it, each
// against the mock WebHID that behaves as Chromium does.
#include "mock_control.h"
#include "web_hid_bus.h"
#include "web_js.h"
#include "web_services.h"

#include <gtest/gtest.h>

#include <vector>

namespace tolvane::web {
namespace {

using testing::MockBehaviour;
using testing::MockCalls;
using testing::MockPlug;
using testing::MockSpec;

class WebHidCases : public ::testing::Test {
protected:
    void SetUp() override { testing::MockReset(); }
    void TearDown() override { testing::MockReset(); }

    std::vector<std::u16string> paths() {
        std::vector<std::u16string> all;
        const auto list = bus_.listInterfaces();
        std::u16string path;
        for (std::uint32_t i = 0; list && list->interfacePath(i, path) == InterfaceLookup::Found;
             ++i) {
            all.push_back(path);
        }
        return all;
    }

    std::unique_ptr<HidDevice> openOnly(DeviceAccess access = DeviceAccess::ReadWrite) {
        const auto all = paths();
        EXPECT_EQ(all.size(), 1u);
        if (all.empty()) return nullptr;
        SysError error = 1;
        auto handle = bus_.open(all[0], access, error);
        EXPECT_EQ(error, 0u);
        return handle;
    }

    WebHidBus bus_;
    WebServices services_;
};

struct Recorder final : DeviceChangeHandler {
    void onDeviceChange(const DeviceChangeMessage& message) override {
        seen.emplace_back(message.eventType, std::u16string(message.name));
    }
    std::vector<std::pair<std::uint32_t, std::u16string>> seen;
};

TEST_F(WebHidCases, ReportIdentifierGoesApartAndComesBackWithAndWithoutIdentifiers) {
    MockSpec numbered;
    numbered.featureBytes = 16;
    numbered.reportId = 3;
    const int device = MockPlug(numbered);
    auto handle = openOnly();
    ASSERT_NE(handle, nullptr);
    std::vector<std::uint8_t> report(17, 0x11);
    report[0] = 3;
    ASSERT_EQ(handle->setFeature(report), 0u);
    report.assign(17, 0);
    report[0] = 3;
    ASSERT_EQ(handle->getFeature(report), 0u);
    EXPECT_EQ(report[0], 3u);
    EXPECT_EQ(report[1], 9u) << "the answer follows its identifier";
    auto calls = MockCalls(device);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0].id, 3);
    EXPECT_EQ(calls[0].bytes, std::vector<std::uint8_t>(16, 0x11)) << "data without identifier";
    handle.reset();
    testing::MockReset();

    const int plain = MockPlug(MockSpec{});  // no identifiers: WebHID leaves 0 out of answers
    handle = openOnly();
    ASSERT_NE(handle, nullptr);
    report.assign(65, 0);
    ASSERT_EQ(handle->getFeature(report), 0u);
    EXPECT_EQ(report[0], 0u);
    EXPECT_EQ(report[1], 9u);
    EXPECT_EQ(report[2], 8u);
    report[1] = 0x44;
    ASSERT_EQ(handle->setFeature(report), 0u);
    calls = MockCalls(plain);
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[1].id, 0);
    ASSERT_EQ(calls[1].bytes.size(), 64u);
    EXPECT_EQ(calls[1].bytes[0], 0x44u);
}

TEST_F(WebHidCases, WrongLengthsAndIdentifiersNeverReachTheDevice) {
    MockSpec numbered;
    numbered.featureBytes = 16;
    numbered.outputBytes = 0;
    numbered.reportId = 3;
    const int device = MockPlug(numbered);
    auto handle = openOnly();
    ASSERT_NE(handle, nullptr);
    std::vector<std::uint8_t> report(17, 0);
    report[0] = 4;
    EXPECT_EQ(handle->setFeature(report), kErrorInvalidParameter) << "an identifier it lacks";
    EXPECT_EQ(handle->getFeature(report), kErrorInvalidParameter);
    report[0] = 3;
    report.pop_back();
    EXPECT_EQ(handle->setFeature(report), kErrorInvalidParameter);
    EXPECT_EQ(handle->writeOutput(std::vector<std::uint8_t>(9, 0)), kErrorInvalidFunction)
        << "no output reports at all";
    EXPECT_TRUE(MockCalls(device).empty());
}

TEST_F(WebHidCases, EveryBrowserFailureIsGenFailureWithTheBrowsersTextKept) {
    MockPlug(MockSpec{}, MockBehaviour::Refuse);
    auto handle = openOnly();
    ASSERT_NE(handle, nullptr);
    std::vector<std::uint8_t> report(65, 0);
    EXPECT_EQ(handle->setFeature(report), kErrorGenFailure);
    EXPECT_NE(js::LastError().find("NotAllowedError"), std::string::npos) << js::LastError();
    EXPECT_EQ(handle->getFeature(report), kErrorGenFailure);
}

TEST_F(WebHidCases, DisconnectEndsPendingTransfersAndLaterOnesAreNotConnected) {
    const int device = MockPlug(MockSpec{}, MockBehaviour::Hang);
    auto handle = openOnly();
    ASSERT_NE(handle, nullptr);
    testing::MockUnplugAfter(device, 20);
    std::vector<std::uint8_t> report(65, 0);
    EXPECT_EQ(handle->getFeature(report), kErrorDeviceNotConnected)
        << "Chromium never settles it: the disconnect does";
    EXPECT_EQ(handle->setFeature(report), kErrorDeviceNotConnected);
    HidAttributes attributes;
    EXPECT_EQ(handle->getAttributes(attributes), kErrorDeviceNotConnected);
}

TEST_F(WebHidCases, TransferWithoutAnswerEndsAtTheTimeLimit) {
    MockPlug(MockSpec{}, MockBehaviour::Hang);
    auto handle = openOnly();
    ASSERT_NE(handle, nullptr);
    js::SetTransferLimit(30);  // the 5 s limit, shortened for the test
    std::vector<std::uint8_t> report(65, 0);
    EXPECT_EQ(handle->setFeature(report), kErrorOperationAborted);
    EXPECT_EQ(handle->getFeature(report), kErrorOperationAborted);
}

TEST_F(WebHidCases, NoReleaseNumberSerialOrPortIsTold) {
    MockPlug(MockSpec{});
    auto handle = openOnly(DeviceAccess::None);
    ASSERT_NE(handle, nullptr);
    HidAttributes attributes{1, 2, 3};
    ASSERT_EQ(handle->getAttributes(attributes), 0u);
    EXPECT_EQ(attributes.versionNumber, 0u);
    std::u16string serial = u"stale";
    EXPECT_EQ(handle->getSerialNumber(serial), kErrorInvalidFunction);
    EXPECT_EQ(serial, u"");
}

TEST_F(WebHidCases, EachArrivalHasItsOwnPathWhichItsRemovalNamesOnePerCollection) {
    Recorder recorder;
    SysError error = 1;
    auto window = services_.createNotifyWindow(NotifyWindowSpec{}, recorder, error);
    ASSERT_NE(window, nullptr);
    auto registration = bus_.registerNotifications(*window, error);
    ASSERT_NE(registration, nullptr);

    const int first = MockPlug(MockSpec{});
    services_.dispatchMessages(0);
    testing::MockUnplug(first);
    services_.dispatchMessages(0);
    MockPlug(MockSpec{});  // the same device back: a new HIDDevice
    services_.dispatchMessages(0);
    ASSERT_EQ(recorder.seen.size(), 3u);
    EXPECT_EQ(recorder.seen[0].first, kDeviceArrival);
    EXPECT_EQ(recorder.seen[1].first, kDeviceRemoveComplete);
    EXPECT_EQ(recorder.seen[1].second, recorder.seen[0].second) << "the removal names the arrival";
    EXPECT_TRUE(recorder.seen[0].second.starts_with(u"\\\\?\\HID#VID_5C3B&PID_030B#"));
    EXPECT_NE(recorder.seen[2].second, recorder.seen[0].second);
    testing::MockReset();
    recorder.seen.clear();

    MockSpec twoCollections;
    twoCollections.collections = 2;
    const int both = MockPlug(twoCollections);
    const auto listed = paths();
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_TRUE(listed[0].ends_with(u"&col01"));
    EXPECT_TRUE(listed[1].ends_with(u"&col02"));
    testing::MockUnplug(both);
    services_.dispatchMessages(0);
    ASSERT_EQ(recorder.seen.size(), 4u);
    EXPECT_EQ(recorder.seen[2].second, listed[0]);
    EXPECT_EQ(recorder.seen[3].second, listed[1]);
    registration.reset();
    EXPECT_EQ(window->destroy(), 0u);
}

}  // namespace
}  // namespace tolvane::web
