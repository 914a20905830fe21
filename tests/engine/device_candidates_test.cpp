// The search for every device an update could pick, and the order of ports.
#include "device_candidates.h"
#include "engine_fixture.h"
#include "interface_acceptance.h"
#include "port_order.h"

#include <algorithm>

namespace tolvane::test {
namespace {

TEST(PortOrderTest, NumbersCompareByValue) {
    EXPECT_TRUE(PortLess("1-2", "1-10"));
    EXPECT_FALSE(PortLess("1-10", "1-2"));
    EXPECT_TRUE(PortLess("1-1.4", "1-1.10"));
    EXPECT_TRUE(PortLess("1-1", "1-1.1"));  // a hub's own port before the ports behind it
    EXPECT_TRUE(PortLess("1-9", "2-1"));
    EXPECT_TRUE(PortLess("", "1-1"));
    EXPECT_FALSE(PortLess("1-01", "1-1"));
    EXPECT_FALSE(PortLess("1-1", "1-01"));
    EXPECT_FALSE(PortLess("1-3", "1-3"));
}

class CandidatesTest : public EngineTest {};

TEST_F(CandidatesTest, ApplicationsAndBootLoadersInPortOrder) {
    for (int i = 0; i < 11; ++i) {
        DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
        if (i == 4) config = DeviceSpec::bootLoaderOnly(0x0332);
        if (i == 6) config = DeviceSpec::plainDevice(0x046D, 0xC077, 0);  // a mouse
        if (i == 7) config = DeviceSpec::target(0x5C3B, 0x0999);          // another product
        world.bus.addDevice(config);
    }
    const CandidateSearch search = FindCandidates(world.bus, 0x5C3B, 0x0326);
    ASSERT_EQ(search.error, 0u);
    ASSERT_EQ(search.candidates.size(), 9u);
    std::vector<std::string> ports;
    for (const auto& candidate : search.candidates) ports.push_back(candidate.port);
    EXPECT_EQ(ports, (std::vector<std::string>{"1-1", "1-2", "1-3", "1-4", "1-5", "1-6", "1-9",
                                               "1-10", "1-11"}));
    EXPECT_TRUE(search.candidates[4].bootLoader);
    EXPECT_EQ(search.candidates[4].productId, 0x0332);
    EXPECT_FALSE(search.candidates[0].bootLoader);
    EXPECT_EQ(search.candidates[0].serial, u"SIM000001");
    EXPECT_EQ(CountDevices(search.candidates), 9u);
    EXPECT_EQ(world.held(), sim::Held{});
}

TEST_F(CandidatesTest, InterfacesOfOneDeviceAreOneDevice) {
    DeviceSpec composite = DeviceSpec::target(0x5C3B, 0x0326);
    composite.application.interfaces.push_back(sim::InterfaceSpec{.collectionSuffix = u"&col02"});
    world.bus.addDevice(composite);
    const CandidateSearch search = FindCandidates(world.bus, 0x5C3B, 0x0326);
    EXPECT_EQ(search.candidates.size(), 2u);
    EXPECT_EQ(CountDevices(search.candidates), 1u);
    EXPECT_EQ(CandidatePorts(search.candidates), std::vector<std::string>{"1-1"});
}

TEST_F(CandidatesTest, InterfacesWithoutFeatureReportsAreNotCandidates) {
    DeviceSpec noFeature = DeviceSpec::target(0x5C3B, 0x0326);
    noFeature.application.interfaces[0].featureReportLength = 0;
    world.bus.addDevice(noFeature);
    EXPECT_TRUE(FindCandidates(world.bus, 0x5C3B, 0x0326).candidates.empty());
}

TEST_F(CandidatesTest, NoListIsAnError) {
    world.bus.failListInterfaces(1);
    EXPECT_EQ(FindCandidates(world.bus, 0x5C3B, 0x0326).error, kErrorGenFailure);
}

TEST(CountDevicesTest, WithoutPortsOneIdentityIsOneDevice) {
    const std::vector<DeviceCandidate> candidates{
        {.path = u"a", .vendorId = 0x5C3B, .productId = 0x0326},
        {.path = u"b", .vendorId = 0x5C3B, .productId = 0x0326},
        {.path = u"c", .vendorId = 0x5C3B, .productId = 0x030B, .bootLoader = true},
        {.path = u"d", .port = "2-1", .vendorId = 0x5C3B, .productId = 0x0326}};
    // Application and boot loader cannot be told to be one unit without a port.
    EXPECT_EQ(CountDevices(candidates), 3u);
    EXPECT_EQ(CandidatePorts(candidates), (std::vector<std::string>{"", "2-1"}));
}

// The one rule the search, the candidates and the tool's listing share.
TEST(SearchAcceptsTest, SoughtIdentityWithFeatureReports) {
    struct Case {
        SoughtIdentity sought;
        std::uint16_t vid, pid, featureLength;
        bool accepted;
    };
    const SoughtIdentity app{.vendorId = 0x5C3B, .productId = 0x0326};
    const SoughtIdentity appOrLoader{.vendorId = 0x5C3B, .productId = 0x0326, .bootLoaders = true};
    const Case cases[] = {
        {app, 0x5C3B, 0x0326, 65, true},
        {app, 0x5C3B, 0x0326, 0, false},          // no feature reports
        {app, 0x5C3B, 0x030B, 65, false},         // a boot loader is not the application
        {appOrLoader, 0x5C3B, 0x030B, 65, true},  // unless boot loaders are sought too
        {appOrLoader, 0x5C3B, 0x0332, 9, true},
        {appOrLoader, 0x5C3B, 0x0332, 0, false},
        {appOrLoader, 0x046D, 0x030B, 65, false},  // another maker's product number
        {kBootLoaderIdentities, 0x5C3B, 0x0326, 65, false},
        {kBootLoaderIdentities, 0x5C3B, 0x030B, 1, true},
        {kBootLoaderIdentities, 0, 0, 65, false},  // no application identity is sought
    };
    for (const Case& c : cases) {
        const HidAttributes attributes{c.vid, c.pid, 0};
        const HidCapabilities caps{0, 0, c.featureLength};
        EXPECT_EQ(SearchAccepts(c.sought, attributes, caps), c.accepted)
            << std::hex << c.vid << ":" << c.pid << " feature " << std::dec << c.featureLength;
    }
}

// The candidates read an interface as the engine's search does: a foreign identity's
// capabilities are never asked for.
TEST_F(CandidatesTest, ReadsCapabilitiesOnlyOfSoughtIdentities) {
    world.bus.addDevice(DeviceSpec::plainDevice(0x046D, 0xC077, 0));
    world.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    EXPECT_EQ(FindCandidates(world.bus, 0x5C3B, 0x0326).candidates.size(), 1u);
    EXPECT_EQ(world.transcript.count(sim::Call::GetCapabilities), 1u) << world.transcript.dump();
}

}  // namespace
}  // namespace tolvane::test
