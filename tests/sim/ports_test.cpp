// Where simulated devices sit on the bus: a port per device that survives its identity changes,
// serial numbers, and racks of identical devices with one faulty unit or staggered arrivals.
#include "device_rack.h"
#include "sim_bus.h"
#include "sim_services.h"

#include <gtest/gtest.h>

#include <vector>

namespace tolvane::sim {
namespace {

std::vector<std::uint8_t> ResetReport() {
    std::vector<std::uint8_t> report(65, 0);
    report[1] = 0x44;
    return report;
}

class PortsTest : public ::testing::Test {
protected:
    std::string portOf(const std::u16string& path) {
        std::string port = "stale";
        EXPECT_EQ(bus.portOf(path, port), 0u);
        return port;
    }

    Transcript transcript;
    SimServices services{transcript};
    SimBus bus{services.timeline(), transcript};
};

TEST_F(PortsTest, PortStaysWithTheDeviceAcrossBothIdentities) {
    SimDevice& first = bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    SimDevice& second = bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    const std::u16string application = first.paths().at(0);
    EXPECT_EQ(portOf(application), "1-1");
    EXPECT_EQ(portOf(second.paths().at(0)), "1-2");

    SysError error = 0;
    auto handle = bus.open(application, DeviceAccess::ReadWrite, error);
    ASSERT_NE(handle, nullptr);
    ASSERT_EQ(handle->setFeature(ResetReport()), 0u);
    handle.reset();

    // Away between identities: the old path no longer has a port.
    std::string port = "stale";
    EXPECT_EQ(bus.portOf(application, port), kErrorFileNotFound);
    EXPECT_TRUE(port.empty());

    services.timeline().advanceBy(1000);
    ASSERT_EQ(first.mode(), Mode::BootLoader);
    const std::u16string bootLoader = first.paths().at(0);
    EXPECT_NE(bootLoader, application);
    EXPECT_EQ(portOf(bootLoader), "1-1");
    EXPECT_EQ(bus.held(), Held{});
}

// A window that handles each notification on the delivering thread, as the real services of a
// platform without message loops do, and asks for the arriving interface's port right there.
class PortAskingWindow final : public NotifyWindow {
public:
    explicit PortAskingWindow(SimBus& bus) : bus_(bus) {}
    SysError destroy() override { return 0; }
    void* nativeHandle() const override { return nullptr; }
    void deliverDeviceChange(std::uint32_t eventType, std::u16string path) override {
        std::string port;
        const SysError error = bus_.portOf(path, port);
        heard.push_back({eventType, error == 0 ? port : "?"});
    }
    std::vector<std::pair<std::uint32_t, std::string>> heard;

private:
    SimBus& bus_;
};

TEST_F(PortsTest, HandlerOnTheDeliveringThreadMayAskForPorts) {
    PortAskingWindow window(bus);
    SysError error = 0;
    auto registration = bus.registerNotifications(window, error);
    ASSERT_NE(registration, nullptr);
    SimDevice& device = bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    device.unplug();
    // Known on arrival; gone by the time its removal is told.
    EXPECT_EQ(window.heard, (std::vector<std::pair<std::uint32_t, std::string>>{
                                {kDeviceArrival, "1-1"}, {kDeviceRemoveComplete, "?"}}));
}

TEST_F(PortsTest, PortLookupIgnoresPathCase) {
    SimDevice& device = bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    std::u16string upper = device.paths().at(0);
    for (char16_t& c : upper) {
        if (c >= u'a' && c <= u'z') c = static_cast<char16_t>(c - 32);
    }
    EXPECT_EQ(portOf(upper), "1-1");
}

TEST_F(PortsTest, SerialNumbersAreDistinctAndSurviveTheBootLoader) {
    DeviceSpec named = DeviceSpec::target(0x5C3B, 0x0326);
    named.serial = u"A17";
    named.port = "3-2.1";
    SimDevice& first = bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    SimDevice& second = bus.addDevice(named);
    EXPECT_EQ(first.serial(), u"SIM000001");
    EXPECT_EQ(second.port(), "3-2.1");

    SysError error = 0;
    auto handle = bus.open(second.paths().at(0), DeviceAccess::None, error);
    ASSERT_NE(handle, nullptr);
    std::u16string serial;
    EXPECT_EQ(handle->getSerialNumber(serial), 0u);
    EXPECT_EQ(serial, u"A17");

    // A handle to an identity that has left answers as every other call does.
    second.unplug();
    EXPECT_EQ(handle->getSerialNumber(serial), kErrorDeviceNotConnected);
    EXPECT_TRUE(serial.empty());
}

TEST_F(PortsTest, RackFaultReachesOnlyTheChosenDevice) {
    DeviceSpec healthy = DeviceSpec::target(0x5C3B, 0x0326);
    DeviceSpec faulty = healthy;
    faulty.startsIn = Mode::BootLoader;
    faulty.port = "ignored";
    const auto devices = AddRack(bus, healthy, faulty, {.count = 3, .faultyDevice = 2});
    ASSERT_EQ(devices.size(), 3u);
    EXPECT_EQ(devices[0]->port(), "1-1");
    EXPECT_EQ(devices[1]->port(), "1-2");
    EXPECT_EQ(devices[2]->port(), "1-3");
    EXPECT_EQ(devices[0]->mode(), Mode::Application);
    EXPECT_EQ(devices[1]->mode(), Mode::BootLoader);
    EXPECT_EQ(devices[2]->mode(), Mode::Application);
    EXPECT_NE(devices[0]->serial(), devices[1]->serial());
}

TEST_F(PortsTest, RackWithoutAChosenDeviceFaultsEveryDevice) {
    DeviceSpec healthy = DeviceSpec::target(0x5C3B, 0x0326);
    DeviceSpec faulty = healthy;
    faulty.startsIn = Mode::BootLoader;
    const auto devices = AddRack(bus, healthy, faulty, {.count = 2});
    for (SimDevice* device : devices) EXPECT_EQ(device->mode(), Mode::BootLoader);
}

TEST_F(PortsTest, RackDevicesArriveOneAfterAnother) {
    DeviceSpec healthy = DeviceSpec::target(0x5C3B, 0x0326);
    const auto devices =
        AddRack(bus, healthy, healthy, {.count = 3, .faultyDevice = 0, .arrivalIntervalMs = 250});
    EXPECT_TRUE(bus.presentPaths().empty());
    services.timeline().advanceTo(250);
    EXPECT_TRUE(devices[0]->present());
    EXPECT_FALSE(devices[1]->present());
    services.timeline().advanceTo(749);
    EXPECT_FALSE(devices[2]->present());
    services.timeline().advanceTo(750);
    EXPECT_EQ(bus.presentPaths().size(), 3u);
}

}  // namespace
}  // namespace tolvane::sim
