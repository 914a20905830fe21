// The WebHID bus and the page's services under the conformance suites, over the mock WebHID: a
// boot loader (64-byte feature and 8-byte output reports, no identifiers) and a device that
// refuses opening, as Chromium refuses a device another program holds.
#include "hid_bus_conformance.h"
#include "mock_control.h"
#include "system_services_conformance.h"
#include "web_hid_bus.h"
#include "web_services.h"

#include <gtest/gtest.h>

namespace tolvane::conformance {
namespace {

using web::testing::MockPlug;
using web::testing::MockReset;
using web::testing::MockSpec;

std::u16string FirstPathOf(HidBus& bus, std::u16string_view prefix) {
    const auto list = bus.listInterfaces();
    std::u16string path;
    for (std::uint32_t i = 0; list && list->interfacePath(i, path) == InterfaceLookup::Found; ++i) {
        if (path.starts_with(prefix)) return path;
    }
    return {};
}

class WebBusBackend final : public BusBackend {
public:
    WebBusBackend() {
        tellsSerialAndPort = false;
        MockReset();
        device_ = MockPlug(MockSpec{});
        MockSpec refusing;
        refusing.vendorId = 0x845E;
        refusing.productId = 0x0002;
        refusing.refusesOpen = true;
        MockPlug(refusing);
        path_ = FirstPathOf(bus_, u"\\\\?\\HID#VID_5C3B&PID_030B#");
        refusingPath_ = FirstPathOf(bus_, u"\\\\?\\HID#VID_845E&PID_0002#");
    }
    HidBus& bus() override { return bus_; }
    SystemServices& services() override { return services_; }
    std::u16string absentPath() override { return u"\\\\?\\HID#VID_5C3B&PID_030B#web999999"; }
    std::optional<KnownInterface> device() override {
        return KnownInterface{path_, 0x5C3B, 0x030B, HidCapabilities{9, 9, 65}, std::nullopt, ""};
    }
    std::u16string refusingPath() override { return refusingPath_; }
    bool unplug() override {
        web::testing::MockUnplug(device_);
        return true;
    }

private:
    web::WebHidBus bus_;
    web::WebServices services_;
    int device_ = -1;
    std::u16string path_;
    std::u16string refusingPath_;
};

class WebServicesBackend final : public ServicesBackend {
public:
    WebServicesBackend() { threads = false; }
    SystemServices& services() override { return services_; }

private:
    web::WebServices services_;
};

INSTANTIATE_TEST_SUITE_P(Web, HidBusConformance,
                         ::testing::Values(BusMaker{
                             "WebHid", [] { return std::make_unique<WebBusBackend>(); }}),
                         MakerName{});
INSTANTIATE_TEST_SUITE_P(Web, ServicesConformance,
                         ::testing::Values(ServicesMaker{
                             "Page", [] { return std::make_unique<WebServicesBackend>(); }}),
                         MakerName{});

}  // namespace
}  // namespace tolvane::conformance
