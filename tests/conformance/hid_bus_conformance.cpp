// The HID bus seam's contract (hid_bus.h), once for every backend.
#include "hid_bus_conformance.h"

namespace tolvane::conformance {

TEST_P(HidBusConformance, ListsThePresentInterfacesAndEndsAfterTheLast) {
    const auto device = backend_->device();
    const bool found = lists(device ? device->path : backend_->absentPath());
    EXPECT_EQ(found, device.has_value());
}

TEST_P(HidBusConformance, PathThatNamesNoInterfaceIsNotFound) {
    for (const DeviceAccess access : {DeviceAccess::ReadWrite, DeviceAccess::None}) {
        SysError error = 0;
        EXPECT_EQ(bus().open(backend_->absentPath(), access, error), nullptr);
        EXPECT_EQ(error, kErrorFileNotFound);
    }
    std::string port = "stale";
    EXPECT_EQ(bus().portOf(backend_->absentPath(), port), kErrorFileNotFound);
    EXPECT_EQ(port, "");
}

TEST_P(HidBusConformance, InterfaceTellsItsIdentityLengthsSerialAndPortWithoutRights) {
    const auto device = backend_->device();
    if (!device) GTEST_SKIP() << "no device on this backend";
    SysError error = 1;
    const auto handle = bus().open(device->path, DeviceAccess::None, error);
    ASSERT_NE(handle, nullptr) << "error " << error;
    EXPECT_EQ(error, 0u);
    HidAttributes attributes;
    ASSERT_EQ(handle->getAttributes(attributes), 0u);
    EXPECT_EQ(attributes.vendorId, device->vendorId);
    EXPECT_EQ(attributes.productId, device->productId);
    HidCapabilities capabilities;
    ASSERT_EQ(handle->getCapabilities(capabilities), 0u);
    if (device->capabilities) {
        EXPECT_EQ(capabilities.featureReportByteLength,
                  device->capabilities->featureReportByteLength);
        EXPECT_EQ(capabilities.outputReportByteLength,
                  device->capabilities->outputReportByteLength);
    }
    std::u16string serial = u"stale";
    std::string port = "stale";
    if (backend_->tellsSerialAndPort) {
        ASSERT_EQ(handle->getSerialNumber(serial), 0u);
        if (device->serial) {
            EXPECT_EQ(serial, *device->serial);
        }
        ASSERT_EQ(bus().portOf(device->path, port), 0u);
        EXPECT_EQ(port, device->port);
    } else {
        EXPECT_EQ(handle->getSerialNumber(serial), kErrorInvalidFunction);
        EXPECT_EQ(bus().portOf(device->path, port), kErrorInvalidFunction);
        EXPECT_EQ(port, "");
    }
    if (device->capabilities) {
        // Without rights no output report goes; feature reports are the platform's business.
        const std::vector<std::uint8_t> output(capabilities.outputReportByteLength, 0);
        EXPECT_EQ(handle->writeOutput(output), kErrorAccessDenied);
    }
}

TEST_P(HidBusConformance, InterfaceWithoutRightsOpensOnlyForQueries) {
    const std::u16string path = backend_->refusingPath();
    if (path.empty()) GTEST_SKIP() << "no such interface on this backend";
    SysError error = 0;
    EXPECT_EQ(bus().open(path, DeviceAccess::ReadWrite, error), nullptr);
    EXPECT_EQ(error, kErrorAccessDenied);
    const auto handle = bus().open(path, DeviceAccess::None, error);
    ASSERT_NE(handle, nullptr) << "found and refused, not mistaken for absent";
    EXPECT_EQ(error, 0u);
    HidAttributes attributes;
    EXPECT_EQ(handle->getAttributes(attributes), 0u);
    HidCapabilities capabilities;
    ASSERT_EQ(handle->getCapabilities(capabilities), 0u);
    std::vector<std::uint8_t> output(capabilities.outputReportByteLength, 0);
    EXPECT_EQ(handle->writeOutput(output), kErrorAccessDenied);
}

TEST_P(HidBusConformance, ReportsOfAnotherLengthAreRefusedBeforeSending) {
    const auto device = backend_->device();
    if (!device || !device->capabilities) GTEST_SKIP() << "no device of known lengths";
    const auto handle = openReadWrite(*device);
    ASSERT_NE(handle, nullptr);
    const std::size_t feature = device->capabilities->featureReportByteLength;
    const std::size_t output = device->capabilities->outputReportByteLength;
    std::vector<std::uint8_t> shorter(feature - 1, 0);
    std::vector<std::uint8_t> longer(feature + 1, 0);
    EXPECT_EQ(handle->setFeature(shorter), kErrorInvalidParameter);
    EXPECT_EQ(handle->setFeature(longer), kErrorInvalidParameter);
    EXPECT_EQ(handle->getFeature(shorter), kErrorInvalidParameter);
    EXPECT_EQ(handle->getFeature(longer), kErrorInvalidParameter);
    EXPECT_EQ(handle->setFeature({}), kErrorInvalidParameter);
    EXPECT_EQ(handle->getFeature({}), kErrorInvalidParameter);
    EXPECT_EQ(handle->writeOutput(std::vector<std::uint8_t>(output - 1, 0)),
              kErrorInvalidParameter);
    EXPECT_EQ(handle->writeOutput(std::vector<std::uint8_t>(output + 1, 0)),
              kErrorInvalidUserBuffer);
}

TEST_P(HidBusConformance, ReportsOfTheRightLengthGoThrough) {
    const auto device = backend_->device();
    if (!backend_->transfers || !device || !device->capabilities) {
        GTEST_SKIP() << "no device that takes reports";
    }
    const auto handle = openReadWrite(*device);
    ASSERT_NE(handle, nullptr);
    std::vector<std::uint8_t> feature(device->capabilities->featureReportByteLength, 0);
    feature[1] = 0x22;
    EXPECT_EQ(handle->setFeature(feature), 0u);
    feature.assign(feature.size(), 0);
    EXPECT_EQ(handle->getFeature(feature), 0u);
    EXPECT_EQ(feature[0], 0u) << "the report keeps its identifier";
    EXPECT_EQ(handle->writeOutput(
                  std::vector<std::uint8_t>(device->capabilities->outputReportByteLength, 0)),
              0u);
}

TEST_P(HidBusConformance, DeviceThatGoesIsNotConnectedThroughItsHandlesAndNotFoundByPath) {
    const auto device = backend_->device();
    if (!device) GTEST_SKIP() << "no device on this backend";
    SysError error = 1;
    const auto handle = bus().open(device->path, DeviceAccess::ReadWrite, error);
    ASSERT_NE(handle, nullptr) << "error " << error;
    if (!backend_->unplug()) GTEST_SKIP() << "devices stay on this backend";
    EXPECT_FALSE(lists(device->path));
    if (backend_->handlesSeeRemoval) {
        HidAttributes attributes;
        EXPECT_EQ(handle->getAttributes(attributes), kErrorDeviceNotConnected);
        std::vector<std::uint8_t> report(device->capabilities->featureReportByteLength, 0);
        EXPECT_EQ(handle->setFeature(report), kErrorDeviceNotConnected);
        EXPECT_EQ(handle->getFeature(report), kErrorDeviceNotConnected);
        EXPECT_EQ(handle->writeOutput(
                      std::vector<std::uint8_t>(device->capabilities->outputReportByteLength, 0)),
                  kErrorDeviceNotConnected);
    }
    EXPECT_EQ(bus().open(device->path, DeviceAccess::None, error), nullptr);
    EXPECT_EQ(error, kErrorFileNotFound);
    std::string port = "stale";
    EXPECT_EQ(bus().portOf(device->path, port), kErrorFileNotFound);
    EXPECT_EQ(port, "");
    if (backend_->namesDeviceNodes) {
        std::string node;
        EXPECT_EQ(bus().deviceNodeOf(device->path, node), kErrorFileNotFound);
    }
}

TEST_P(HidBusConformance, NamesTheNodeOfAPresentDeviceOnly) {
    std::string node = "stale";
    const SysError unnamed =
        backend_->namesDeviceNodes ? kErrorFileNotFound : kErrorInvalidFunction;
    EXPECT_EQ(bus().deviceNodeOf(backend_->absentPath(), node), unnamed);
    EXPECT_EQ(node, "");
    const auto device = backend_->device();
    if (!device) return;
    node = "stale";
    if (!backend_->namesDeviceNodes) {
        EXPECT_EQ(bus().deviceNodeOf(device->path, node), kErrorInvalidFunction);
        EXPECT_EQ(node, "");
        return;
    }
    ASSERT_EQ(bus().deviceNodeOf(device->path, node), 0u);
    EXPECT_FALSE(node.empty());
    if (!device->deviceNode.empty()) {
        EXPECT_EQ(node, device->deviceNode);
    }
}

TEST_P(HidBusConformance, InstallWaitReturns) {
    bus().waitNoPendingInstallEvents(0);
    bus().waitNoPendingInstallEvents(10);
}

TEST_P(HidBusConformance, RegistrationUnregistersOnceAndOutlivesNothing) {
    struct : DeviceChangeHandler {
        void onDeviceChange(const DeviceChangeMessage&) override {}
    } handler;
    SysError error = 1;
    auto window = backend_->services().createNotifyWindow(NotifyWindowSpec{}, handler, error);
    ASSERT_NE(window, nullptr) << "error " << error;
    auto registration = bus().registerNotifications(*window, error);
    if (!registration) GTEST_SKIP() << "no device notifications here, error " << error;
    EXPECT_EQ(error, 0u);
    EXPECT_EQ(registration->unregister(), 0u);
    EXPECT_EQ(registration->unregister(), 0u) << "a second call does nothing";
    registration.reset();
    EXPECT_EQ(window->destroy(), 0u);
}

}  // namespace tolvane::conformance
