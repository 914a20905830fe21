// A decorator built on the forwarding bases answers every entry as the bus behind it does,
// including the entries whose seam default would answer "not supported".
#include "forwarding_hid_bus.h"
#include "engine_fixture.h"

#include <string>
#include <vector>

namespace tolvane::test {
namespace {

// Overrides nothing: what a new decorator starts from.
class PlainForwarder final : public ForwardingHidBus {
public:
    using ForwardingHidBus::ForwardingHidBus;
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override {
        auto device = ForwardingHidBus::open(path, access, error);
        if (!device) return device;
        return std::make_unique<ForwardingHidDevice>(std::move(device));
    }
};

// Everything an engine can learn of the bus through each entry.
std::vector<std::string> Survey(HidBus& bus) {
    std::vector<std::string> seen;
    const auto list = bus.listInterfaces();
    if (!list) return {"no list"};
    std::u16string path;
    for (std::uint32_t index = 0; list->interfacePath(index, path) == InterfaceLookup::Found;
         ++index) {
        std::string port;
        seen.push_back("port " + std::to_string(bus.portOf(path, port)) + " " + port);
        SysError error = 0;
        auto device = bus.open(path, DeviceAccess::ReadWrite, error);
        seen.push_back("open " + std::to_string(error));
        if (!device) continue;
        HidAttributes attributes;
        const SysError attributesError = device->getAttributes(attributes);
        seen.push_back("attributes " + std::to_string(attributesError) + " " +
                       std::to_string(attributes.productId));
        HidCapabilities caps;
        const SysError capsError = device->getCapabilities(caps);
        seen.push_back("caps " + std::to_string(capsError) + " " +
                       std::to_string(caps.featureReportByteLength));
        std::u16string serial;
        const SysError serialError = device->getSerialNumber(serial);
        seen.push_back("serial " + std::to_string(serialError) + " " +
                       std::string(serial.begin(), serial.end()));
        std::vector<std::uint8_t> query(caps.featureReportByteLength, 0);
        seen.push_back("get " + std::to_string(device->getFeature(query)));
        seen.push_back("set " + std::to_string(device->setFeature(query)));
        seen.push_back("out " + std::to_string(device->writeOutput(query)));
        seen.push_back("limit " + std::to_string(device->setTransferLimit(30000)));
    }
    bus.waitNoPendingInstallEvents(0);
    return seen;
}

TEST(ForwardingHidBusTest, AnswersEveryEntryAsTheInnerBus) {
    const auto build = [](sim::SimWorld& world) {
        sim::DeviceSpec app = DeviceSpec::target(0x5C3B, 0x0326);
        app.port = "3-1.2";
        world.bus.addDevice(app);
        world.bus.addDevice(DeviceSpec::bootLoaderOnly(0x0332));
    };
    sim::SimWorld direct;
    build(direct);
    sim::SimWorld forwarded;
    build(forwarded);
    PlainForwarder forwarder(forwarded.bus);

    const std::vector<std::string> expected = Survey(direct.bus);
    ASSERT_NE(std::find(expected.begin(), expected.end(), "port 0 3-1.2"), expected.end());
    ASSERT_NE(std::find(expected.begin(), expected.end(), "limit 0"), expected.end());
    ASSERT_NE(std::find(expected.begin(), expected.end(), "serial 0 SIM000001"), expected.end())
        << testing::PrintToString(expected);
    EXPECT_EQ(Survey(forwarder), expected);
    EXPECT_EQ(forwarded.transcript.dump(), direct.transcript.dump());
    EXPECT_TRUE(forwarded.held().none()) << forwarded.held();
}

}  // namespace
}  // namespace tolvane::test
