// The Windows bus and services under the conformance suites, run under Wine. Wine always shows
// its own virtual mouse (845E:0001): no feature reports, no serial number, no USB device above
// it; no device comes or goes, and none refuses opening.
#include "hid_bus_conformance.h"
#include "system_services_conformance.h"
#include "win32_hid_bus.h"
#include "win32_services.h"

#include <gtest/gtest.h>

#include <cctype>
#include <string>

namespace tolvane::conformance {
namespace {

class Win32BusBackend final : public BusBackend {
public:
    Win32BusBackend() {
        transfers = false;
        namesDeviceNodes = true;
        const auto list = bus_.listInterfaces();
        std::u16string path;
        for (std::uint32_t i = 0; list && list->interfacePath(i, path) != InterfaceLookup::End;
             ++i) {
            std::string lower;
            for (const char16_t unit : path) {
                lower.push_back(static_cast<char>(std::tolower(unit & 0x7F)));
            }
            if (lower.find("vid_845e&pid_0001") != std::string::npos) {
                mouse_ = path;
                break;
            }
        }
    }
    HidBus& bus() override { return bus_; }
    SystemServices& services() override { return services_; }
    std::u16string absentPath() override {
        return u"\\\\?\\HID#Vid_5c3b&Pid_030b#none#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    }
    std::optional<KnownInterface> device() override {
        if (mouse_.empty()) return std::nullopt;
        return KnownInterface{mouse_, 0x845E, 0x0001, std::nullopt, std::nullopt, ""};
    }

private:
    Win32HidBus bus_;
    Win32Services services_;
    std::u16string mouse_;
};

class Win32ServicesBackend final : public ServicesBackend {
public:
    Win32ServicesBackend() { clockStepMs = 16; }
    SystemServices& services() override { return services_; }

private:
    Win32Services services_;
};

INSTANTIATE_TEST_SUITE_P(Windows, HidBusConformance,
                         ::testing::Values(BusMaker{
                             "Win32", [] { return std::make_unique<Win32BusBackend>(); }}),
                         MakerName{});
INSTANTIATE_TEST_SUITE_P(Windows, ServicesConformance,
                         ::testing::Values(ServicesMaker{
                             "Win32", [] { return std::make_unique<Win32ServicesBackend>(); }}),
                         MakerName{});

}  // namespace
}  // namespace tolvane::conformance
