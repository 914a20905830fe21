// Finding and opening an interface: which one wins, what is stored, what is released.
#include "engine_fixture.h"

namespace tolvane::test {
namespace {

class DiscoveryTest : public EngineTest {
protected:
    // Closes what a successful search left open, as every public operation does.
    bool Find(std::uint16_t vid, std::uint16_t pid) {
        const bool found = world.engine.FindHidDevice(vid, pid);
        openAfterFind = world.bus.held().deviceHandles;
        listsAfterFind = world.bus.held().interfaceLists;
        world.engine.CloseTarget();
        return found;
    }
    sim::InterfaceSpec& FirstInterface(DeviceSpec& config) {
        return config.application.interfaces[0];
    }

    int openAfterFind = -1;
    int listsAfterFind = -1;
};

TEST_F(DiscoveryTest, NothingPresentLeavesNothingOpenAndRemembersThePair) {
    EXPECT_FALSE(Find(0x1234, 0x5678));
    EXPECT_EQ(openAfterFind, 0);
    EXPECT_EQ(listsAfterFind, 0);
    EXPECT_EQ(state().target.vendorId, 0x1234);
    EXPECT_EQ(state().target.productId, 0x5678);
    EXPECT_EQ(state().target.featureReportLength, 0);
}

TEST_F(DiscoveryTest, NoListMeansNotFound) {
    world.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
    world.bus.failListInterfaces(1);
    EXPECT_FALSE(Find(0x5C3B, 0x0326));
    EXPECT_TRUE(Find(0x5C3B, 0x0326));
}

TEST_F(DiscoveryTest, FoundInterfaceStaysOpenAndIsDescribed) {
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    FirstInterface(config).inputReportLength = 17;
    FirstInterface(config).outputReportLength = 33;
    FirstInterface(config).featureReportLength = 65;
    world.bus.addDevice(DeviceSpec::plainDevice(0x845E, 0x0001, 0));
    SimDevice& device = world.bus.addDevice(config);
    EXPECT_TRUE(Find(0x5C3B, 0x0326));
    EXPECT_EQ(openAfterFind, 1);
    EXPECT_EQ(listsAfterFind, 0);
    EXPECT_EQ(state().target.featureReportLength, 65);
    EXPECT_EQ(state().target.inputReportLength, 17);
    EXPECT_EQ(state().target.outputReportLength, 33);
    EXPECT_EQ(state().target.devicePath, device.paths().at(0));
}

TEST_F(DiscoveryTest, FirstInterfaceWithFeatureReportsWins) {
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    sim::InterfaceSpec second;
    second.collectionSuffix = u"&col02";
    second.featureReportLength = 9;
    sim::InterfaceSpec third = second;
    third.collectionSuffix = u"&col03";
    FirstInterface(config).featureReportLength = 0;
    FirstInterface(config).collectionSuffix = u"&col01";
    config.application.interfaces.push_back(second);
    config.application.interfaces.push_back(third);
    SimDevice& device = world.bus.addDevice(config);
    EXPECT_TRUE(Find(0x5C3B, 0x0326));
    EXPECT_EQ(openAfterFind, 1);
    EXPECT_EQ(state().target.devicePath, device.paths().at(1));
    EXPECT_EQ(state().target.featureReportLength, 9);
}

TEST_F(DiscoveryTest, InterfaceThatOpensOnlyWithoutAccessIsTaken) {
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    FirstInterface(config).readWriteOpenFails = true;
    world.bus.addDevice(config);
    EXPECT_TRUE(Find(0x5C3B, 0x0326));
    const auto opens = world.transcript.of(sim::Call::Open);
    ASSERT_EQ(opens.size(), 2u);
    EXPECT_EQ(opens[0].value, static_cast<std::uint32_t>(DeviceAccess::ReadWrite));
    EXPECT_NE(opens[0].error, 0u);
    EXPECT_EQ(opens[1].value, static_cast<std::uint32_t>(DeviceAccess::None));
    EXPECT_EQ(opens[1].error, 0u);
}

TEST_F(DiscoveryTest, InterfacesThatCannotBeQueriedAreSkipped) {
    for (int fault = 0; fault < 4; ++fault) {
        sim::SimWorld local;
        DeviceSpec broken = DeviceSpec::target(0x5C3B, 0x0326);
        auto& first = broken.application.interfaces[0];
        first.openFails = fault == 0;
        first.detailFails = fault == 1;
        first.attributesError = fault == 2 ? kErrorGenFailure : 0;
        first.capabilitiesError = fault == 3 ? kErrorGenFailure : 0;
        local.bus.addDevice(broken);
        SimDevice& good = local.bus.addDevice(DeviceSpec::target(0x5C3B, 0x0326));
        EXPECT_TRUE(local.engine.FindHidDevice(0x5C3B, 0x0326)) << fault;
        EXPECT_EQ(local.engine.state().target.devicePath, good.paths().at(0)) << fault;
        EXPECT_EQ(local.bus.held().deviceHandles, 1) << fault;
        local.engine.CloseTarget();
    }
}

TEST_F(DiscoveryTest, OnlyTheLowByteOfTheFeatureLengthIsStored) {
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    FirstInterface(config).featureReportLength = 300;
    world.bus.addDevice(config);
    EXPECT_TRUE(Find(0x5C3B, 0x0326));
    EXPECT_EQ(state().target.featureReportLength, 44);

    AddBootLoader(256);
    EXPECT_TRUE(Find(DFU_VENDOR_ID, DFU_PRODUCT_ID_1));
    EXPECT_EQ(state().target.featureReportLength, 0);
    // And such a boot loader is too short for the download.
    EXPECT_EQ(Download(MakeImage(4)), DFU_ERR_NOT_FOUND);
}

TEST_F(DiscoveryTest, FailedSearchKeepsTheDescriptionOfTheLastFound) {
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    FirstInterface(config).outputReportLength = 33;
    SimDevice& device = world.bus.addDevice(config);
    ASSERT_TRUE(Find(0x5C3B, 0x0326));
    EXPECT_FALSE(Find(0x5C3B, 0x0999));
    EXPECT_EQ(state().target.productId, 0x0999);
    EXPECT_EQ(state().target.featureReportLength, 0);
    EXPECT_EQ(state().target.outputReportLength, 33);
    EXPECT_EQ(state().target.devicePath, device.paths().at(0));
}

TEST_F(DiscoveryTest, OverlongPathIsTakenAndCut) {
    DeviceSpec config = DeviceSpec::target(0x5C3B, 0x0326);
    FirstInterface(config).path = u"\\\\?\\hid#vid_5c3b&pid_0326#" + std::u16string(300, u'x');
    world.bus.addDevice(config);
    EXPECT_TRUE(Find(0x5C3B, 0x0326));
    EXPECT_EQ(state().target.devicePath.size(), DEVICE_PATH_CAPACITY - 1);
}

}  // namespace
}  // namespace tolvane::test
