// The simulated bus and services under the conformance suites: a boot loader with a serial number
// on port 1-4, and an interface that refuses opening for writing.
#include "hid_bus_conformance.h"
#include "sim_bus.h"
#include "sim_services.h"
#include "system_services_conformance.h"

#include <gtest/gtest.h>

namespace tolvane::conformance {
namespace {

class SimBusBackend final : public BusBackend {
public:
    SimBusBackend() {
        sim::DeviceSpec spec = sim::DeviceSpec::bootLoaderOnly();
        spec.bootLoader.interfaces[0].outputReportLength = 9;
        spec.port = "1-4";
        spec.serial = u"SN-0042";
        device_ = &bus_.addDevice(spec);
        sim::DeviceSpec locked = sim::DeviceSpec::plainDevice(0x845E, 0x0002, 9);
        locked.application.interfaces[0].readWriteOpenFails = true;
        refusing_ = &bus_.addDevice(locked);
    }
    HidBus& bus() override { return bus_; }
    SystemServices& services() override { return services_; }
    std::u16string absentPath() override {
        return u"\\\\?\\hid#vid_5c3b&pid_030b#none#{4d1e55b2-f16f-11cf-88cb-001111000030}";
    }
    std::optional<KnownInterface> device() override {
        return KnownInterface{device_->pathOf(sim::Mode::BootLoader),
                              0x5C3B,
                              0x030B,
                              HidCapabilities{65, 9, 65},
                              u"SN-0042",
                              "1-4"};
    }
    std::u16string refusingPath() override { return refusing_->paths().at(0); }
    bool unplug() override {
        device_->unplug();
        return true;
    }

private:
    sim::Transcript transcript_;
    sim::SimServices services_{transcript_};
    sim::SimBus bus_{services_.timeline(), transcript_};
    sim::SimDevice* device_ = nullptr;
    sim::SimDevice* refusing_ = nullptr;
};

class SimServicesBackend final : public ServicesBackend {
public:
    SimServicesBackend() { virtualClock = true; }
    SystemServices& services() override { return services_; }

private:
    sim::Transcript transcript_;
    sim::SimServices services_{transcript_};
};

INSTANTIATE_TEST_SUITE_P(Sim, HidBusConformance,
                         ::testing::Values(BusMaker{
                             "Simulated", [] { return std::make_unique<SimBusBackend>(); }}),
                         MakerName{});
INSTANTIATE_TEST_SUITE_P(Sim, ServicesConformance,
                         ::testing::Values(ServicesMaker{
                             "Simulated", [] { return std::make_unique<SimServicesBackend>(); }}),
                         MakerName{});

}  // namespace
}  // namespace tolvane::conformance
