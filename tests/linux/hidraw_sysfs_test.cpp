// The hidraw bus on a fixture sysfs tree: what sysfs tells without opening a node (identifiers,
// collections, serial number, USB port), a node the user may not open, and the engine's search
// over a composite device.
#include "hidraw_sysfs.h"
#include "dfu_engine.h"
#include "errno_error.h"
#include "hidraw_bus.h"
#include "hidraw_device.h"
#include "hidraw_path.h"
#include "platform.h"
#include "posix_services.h"
#include "sysfs_fixture.h"

#include <gtest/gtest.h>

#include <fcntl.h>

#include <cerrno>
#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::hidraw {
namespace {

using testing::FixtureNode;
using testing::HidUevent;
using testing::SysfsFixture;
using testing::VendorFeatureDescriptor;

constexpr const char* kUsbPort = "pci0000:00/0000:00:14.0/usb1/1-1/1-1.4/1-1.4:1.0";

// A keyboard and the vendor collection with a 64-byte feature report, on one node.
const std::vector<std::uint8_t> kKeyboardAndVendor = {
    0x05, 0x01,        // Usage Page (Generic Desktop)
    0x09, 0x06,        // Usage (Keyboard)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x01,        //   Report ID (1)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x08,        //   Report Count (8)
    0x81, 0x00,        //   Input: report 1 has 8 bytes
    0xC0,              // End Collection
    0x06, 0x00, 0xFF,  // Usage Page (Vendor)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x85, 0x02,        //   Report ID (2)
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0xB1, 0x02,        //   Feature: report 2 has 64 bytes
    0xC0,              // End Collection
};

// A boot loader on USB port 1-1.4 with a serial number, a composite application device on 1-2, a
// Bluetooth keyboard behind a USB adapter on 1-3, and a virtual (uhid) device.
class HidrawFixture : public ::testing::Test {
protected:
    void SetUp() override {
        fixture_.add({"hidraw0", kUsbPort, "0003:5C3B:030B.0001",
                      HidUevent("0003:00005C3B:0000030B", "SN-0042"), VendorFeatureDescriptor(64)},
                     "0102");
        fixture_.add({"hidraw1", "pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.1", "0003:5C3B:0325.0002",
                      HidUevent("0003:00005C3B:00000325"), kKeyboardAndVendor});
        fixture_.add({"hidraw2", "pci0000:00/0000:00:14.0/usb1/1-3/1-3:1.0/bluetooth/hci0/hci0:256",
                      "0005:046D:B33D.0003", HidUevent("0005:0000046D:0000B33D", "aa:bb:cc"),
                      VendorFeatureDescriptor(8)});
        fixture_.add({"hidraw10", "virtual/misc/uhid", "0003:5C3B:0332.0004",
                      HidUevent("0003:00005C3B:00000332"), VendorFeatureDescriptor(64)});
    }

    // A bus whose nodes all refuse opening, as root-only nodes refuse a user; its nodes are old,
    // so udev has long finished with them.
    HidrawBus RefusingBus(int refusal = EACCES) {
        return HidrawBus(HidrawBusConfig{
            fixture_.sysfs(), fixture_.dev(),
            [refusal](const char*, int) {
                errno = refusal;
                return -1;
            },
            [](const char*) { return std::optional(std::chrono::milliseconds(60000)); },
            [](std::chrono::milliseconds) { ADD_FAILURE() << "an old node is not waited for"; }});
    }

    std::vector<std::u16string> Listed(HidrawBus& bus) {
        std::vector<std::u16string> paths;
        const auto list = bus.listInterfaces();
        std::u16string path;
        for (std::uint32_t i = 0; list && list->interfacePath(i, path) == InterfaceLookup::Found;
             ++i) {
            paths.push_back(path);
        }
        return paths;
    }

    SysfsFixture fixture_;
};

TEST_F(HidrawFixture, ListsOneInterfacePerTopLevelCollectionInNodeOrder) {
    HidrawBus bus = RefusingBus();
    EXPECT_EQ(Listed(bus), (std::vector<std::u16string>{
                               u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw0",
                               u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw1&COL01",
                               u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw1&COL02",
                               u"\\\\?\\HID#VID_046D&PID_B33D#hidraw2",
                               u"\\\\?\\HID#VID_5C3B&PID_0332#hidraw10",
                           }));
}

TEST_F(HidrawFixture, NodeThatRefusesOpeningIsDescribedFromSysfsAndRefusesItsReports) {
    HidrawBus bus = RefusingBus();
    const std::u16string path = u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw0";
    SysError error = 0;
    EXPECT_EQ(bus.open(path, DeviceAccess::ReadWrite, error), nullptr);
    EXPECT_EQ(error, kErrorAccessDenied);

    auto device = bus.open(path, DeviceAccess::None, error);
    ASSERT_NE(device, nullptr) << "a device without access is found, not mistaken for absent";
    EXPECT_EQ(error, 0u);
    HidAttributes attributes;
    ASSERT_EQ(device->getAttributes(attributes), 0u);
    EXPECT_EQ(attributes.vendorId, 0x5C3B);
    EXPECT_EQ(attributes.productId, 0x030B);
    EXPECT_EQ(attributes.versionNumber, 0x0102);
    HidCapabilities capabilities;
    ASSERT_EQ(device->getCapabilities(capabilities), 0u);
    EXPECT_EQ(capabilities.featureReportByteLength, 65);
    std::u16string serial;
    ASSERT_EQ(device->getSerialNumber(serial), 0u);
    EXPECT_EQ(serial, u"SN-0042");

    std::vector<std::uint8_t> report(65, 0);
    EXPECT_EQ(device->setFeature(report), kErrorAccessDenied);
    EXPECT_EQ(device->getFeature(report), kErrorAccessDenied);
    EXPECT_EQ(device->writeOutput(report), kErrorAccessDenied);
    EXPECT_EQ(platform::LastNativeErrorDetail(), "errno 13 (Permission denied)");
}

TEST_F(HidrawFixture, OtherRefusalsAndAbsentNodesAreNotDescribedFromSysfs) {
    SysError error = 0;
    HidrawBus busy = RefusingBus(EBUSY);
    EXPECT_EQ(busy.open(u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw0", DeviceAccess::None, error),
              nullptr);
    EXPECT_EQ(error, kErrorGenFailure);
    HidrawBus refusing = RefusingBus();
    EXPECT_EQ(refusing.open(u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw7", DeviceAccess::None, error),
              nullptr)
        << "no such node in sysfs";
    EXPECT_EQ(error, kErrorAccessDenied);
}

TEST_F(HidrawFixture, EachCollectionOfACompositeNodeHasItsOwnLengths) {
    HidrawBus bus = RefusingBus();
    SysError error = 0;
    HidCapabilities keyboard;
    HidCapabilities vendor;
    HidCapabilities missing;
    auto first = bus.open(u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw1&COL01", DeviceAccess::None, error);
    auto second =
        bus.open(u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw1&COL02", DeviceAccess::None, error);
    auto third = bus.open(u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw1&COL03", DeviceAccess::None, error);
    ASSERT_TRUE(first && second && third);
    ASSERT_EQ(first->getCapabilities(keyboard), 0u);
    ASSERT_EQ(second->getCapabilities(vendor), 0u);
    EXPECT_EQ(keyboard.inputReportByteLength, 9);
    EXPECT_EQ(keyboard.featureReportByteLength, 0);
    EXPECT_EQ(vendor.featureReportByteLength, 65);
    EXPECT_EQ(vendor.inputReportByteLength, 0);
    EXPECT_NE(third->getCapabilities(missing), 0u) << "a collection the node does not have";
}

TEST_F(HidrawFixture, EngineFindsTheVendorCollectionOfACompositeDeviceWithItsOwnLength) {
    HidrawBus bus = RefusingBus();
    posix::PosixServices services;
    DfuEngine engine(bus, services);
    ASSERT_TRUE(engine.FindHidDevice(0x5C3B, 0x0325));
    EXPECT_EQ(engine.state().target.devicePath, u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw1&COL02");
    EXPECT_EQ(engine.state().target.featureReportLength, 65);
    ASSERT_TRUE(engine.FindHidDevice(0x5C3B, 0x030B)) << "found although it may not be opened";
}

TEST_F(HidrawFixture, DownloadToABootLoaderThatMayNotBeOpenedFailsAsAccessDenied) {
    HidrawBus bus = RefusingBus();
    posix::PosixServices services;
    DfuEngine engine(bus, services);
    const std::vector<std::uint8_t> image(128, 0xA5);
    EXPECT_EQ(engine.Download(image.data(), 0, static_cast<std::uint32_t>(image.size()), 0),
              kErrorAccessDenied)
        << "found, then refused: not 'not found'";
    EXPECT_EQ(engine.state().target.handle, nullptr);
}

TEST_F(HidrawFixture, PortIsTheUsbDeviceAboveTheNodeAndSurvivesReEnumeration) {
    HidrawBus bus = RefusingBus();
    std::string port = "stale";
    ASSERT_EQ(bus.portOf(u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw0", port), 0u);
    EXPECT_EQ(port, "1-1.4");
    ASSERT_EQ(bus.portOf(u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw1&COL02", port), 0u);
    EXPECT_EQ(port, "1-2");

    // The boot loader leaves and the application comes back on the same port under another node.
    fixture_.remove("hidraw0");
    fixture_.add({"hidraw4", kUsbPort, "0003:5C3B:0325.0005", HidUevent("0003:00005C3B:00000325"),
                  VendorFeatureDescriptor(64)});
    EXPECT_EQ(bus.portOf(u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw0", port), kErrorFileNotFound);
    EXPECT_EQ(port, "");
    ASSERT_EQ(bus.portOf(u"\\\\?\\HID#VID_5C3B&PID_0325#hidraw4", port), 0u);
    EXPECT_EQ(port, "1-1.4");
}

TEST_F(HidrawFixture, DevicesOffUsbHaveAnEmptyPort) {
    HidrawBus bus = RefusingBus();
    std::string port = "stale";
    ASSERT_EQ(bus.portOf(u"\\\\?\\HID#VID_046D&PID_B33D#hidraw2", port), 0u)
        << "Bluetooth, although its adapter sits on USB";
    EXPECT_EQ(port, "");
    port = "stale";
    ASSERT_EQ(bus.portOf(u"\\\\?\\HID#VID_5C3B&PID_0332#hidraw10", port), 0u) << "uhid";
    EXPECT_EQ(port, "");
    EXPECT_EQ(bus.portOf(u"/dev/hidraw0", port), kErrorFileNotFound);
}

// A virtual device that names a USB place in HID_PHYS, as a device under usbhid would, gets the
// port of that place: the bus number of the controller's root hub where it has one here, else 1.
TEST_F(HidrawFixture, PortComesFromHidPhysWhenNoUsbDeviceIsAbove) {
    const auto uhid = [&](const char* node, const char* hidDevice, const char* phys) {
        std::string uevent = HidUevent("0003:00005C3B:00000326");
        const std::string shipped = "HID_PHYS=usb-1";
        uevent.replace(uevent.find(shipped), shipped.size(), std::string("HID_PHYS=") + phys);
        fixture_.add({node, "virtual/misc/uhid", hidDevice, uevent, VendorFeatureDescriptor(64)});
    };
    uhid("hidraw20", "0003:5C3B:0326.0020", "usb-0000:00:14.0-1.4/input0");
    uhid("hidraw21", "0003:5C3B:0326.0021", "usb-0000:00:14.0-1.5/input0");
    uhid("hidraw22", "0003:5C3B:0326.0022", "usb-dummy_hcd.0-2.1.3/input1");
    uhid("hidraw23", "0003:5C3B:0326.0023", "aa:bb:cc:dd:ee:ff");
    HidrawBus bus = RefusingBus();
    const auto portOf = [&](const char16_t* path) {
        std::string port = "stale";
        EXPECT_EQ(bus.portOf(path, port), 0u);
        return port;
    };
    EXPECT_EQ(portOf(u"\\\\?\\HID#VID_5C3B&PID_0326#hidraw20"), "1-1.4");
    EXPECT_EQ(portOf(u"\\\\?\\HID#VID_5C3B&PID_0326#hidraw21"), "1-1.5");
    EXPECT_EQ(portOf(u"\\\\?\\HID#VID_5C3B&PID_0326#hidraw22"), "1-2.1.3");
    EXPECT_EQ(portOf(u"\\\\?\\HID#VID_5C3B&PID_0326#hidraw23"), "") << "no USB place named";

    // The controller's root hub is bus 3 on this machine.
    const auto devices = fixture_.sysfs() / "bus" / "usb" / "devices";
    std::filesystem::create_directories(devices);
    std::filesystem::create_directories(fixture_.sysfs() / "devices/pci0000:00/0000:00:14.0/usb3");
    std::filesystem::create_directory_symlink("../../../devices/pci0000:00/0000:00:14.0/usb3",
                                              devices / "usb3");
    EXPECT_EQ(portOf(u"\\\\?\\HID#VID_5C3B&PID_0326#hidraw20"), "3-1.4");
}

// Right after an arrival the node may still refuse a writer until udev has applied its rules.
TEST_F(HidrawFixture, AYoungNodeThatRefusesWritingIsTriedAgainForAboutASecond) {
    struct Case {
        const char* name;
        int refusalsBeforeSuccess;
        std::chrono::milliseconds ageAtFirstTry;
        bool opens;
        int pauses;
    };
    const Case cases[] = {
        {"udev finishes after two tries", 2, std::chrono::milliseconds(10), true, 2},
        {"an old node is refused at once", 2, std::chrono::milliseconds(5000), false, 0},
        {"refused until the node is a second old", 100, std::chrono::milliseconds(0), false, 20},
    };
    for (const Case& c : cases) {
        int refusals = 0;
        std::chrono::milliseconds age = c.ageAtFirstTry;
        int pauses = 0;
        HidrawBus bus(HidrawBusConfig{fixture_.sysfs(), fixture_.dev(),
                                      [&](const char* node, int flags) {
                                          if (refusals++ < c.refusalsBeforeSuccess) {
                                              errno = EACCES;
                                              return -1;
                                          }
                                          return ::open(node, flags);
                                      },
                                      [&](const char*) { return std::optional(age); },
                                      [&](std::chrono::milliseconds time) {
                                          age += time;
                                          ++pauses;
                                      }});
        SysError error = 0;
        const auto device =
            bus.open(u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw0", DeviceAccess::ReadWrite, error);
        EXPECT_EQ(device != nullptr, c.opens) << c.name;
        EXPECT_EQ(error, c.opens ? 0u : kErrorAccessDenied) << c.name;
        EXPECT_EQ(pauses, c.pauses) << c.name;
    }
}

TEST_F(HidrawFixture, DeviceWithoutSerialNumberAnswersAnEmptyOne) {
    HidrawBus bus = RefusingBus();
    SysError error = 0;
    auto device = bus.open(u"\\\\?\\HID#VID_5C3B&PID_0332#hidraw10", DeviceAccess::None, error);
    ASSERT_NE(device, nullptr);
    std::u16string serial = u"stale";
    ASSERT_EQ(device->getSerialNumber(serial), 0u);
    EXPECT_EQ(serial, u"");
    fixture_.remove("hidraw10");
    HidAttributes attributes;
    EXPECT_NE(device->getAttributes(attributes), 0u) << "a node gone since it was opened";
}

TEST_F(HidrawFixture, IdentifiersComeFromTheDeviceNameWhenTheUeventIsUnreadable) {
    fixture_.add({"hidraw5", kUsbPort, "0003:5C3B:030B.0009", "", VendorFeatureDescriptor(64)});
    const HidrawSysfs sysfs(fixture_.sysfs());
    const auto id = sysfs.hidIdOf("hidraw5");
    ASSERT_TRUE(id.has_value());
    EXPECT_EQ(id->vendorId, 0x5C3B);
    EXPECT_EQ(id->productId, 0x030B);
    EXPECT_FALSE(sysfs.uniqueIdOf("hidraw5").has_value());
    EXPECT_FALSE(sysfs.node("hidraw99").has_value());
}

TEST_F(HidrawFixture, NodeWithoutDescriptorIsListedAsOneInterface) {
    FixtureNode node{
        "hidraw6", kUsbPort, "0003:5C3B:030B.000A", HidUevent("0003:00005C3B:0000030B"), {}};
    node.withDescriptor = false;
    fixture_.add(node);
    const auto listed = HidrawSysfs(fixture_.sysfs()).node("hidraw6");
    ASSERT_TRUE(listed.has_value());
    EXPECT_EQ(listed->collections, 1u);
    EXPECT_EQ(listed->hidDevice, "0003:5C3B:030B.000A");
}

TEST(HidrawSysfsText, UeventValuesAndDevicePaths) {
    const std::string uevent = "HID_ID=0003:00005C3B:0000030B\nHID_UNIQ=\nHID_NAME=A=B\n";
    EXPECT_EQ(UeventValue(uevent, "HID_ID"), "0003:00005C3B:0000030B");
    EXPECT_EQ(UeventValue(uevent, "HID_UNIQ"), "");
    EXPECT_EQ(UeventValue(uevent, "HID_NAME"), "A=B");
    EXPECT_FALSE(UeventValue(uevent, "HID").has_value());
    EXPECT_EQ(
        HidDeviceFromDevicePath("/devices/virtual/misc/uhid/0003:5C3B:030B.0007/hidraw/hidraw3"),
        "0003:5C3B:030B.0007");
    EXPECT_EQ(HidDeviceFromDevicePath("/devices/virtual/misc/uhid"), "");
    EXPECT_FALSE(HidIdFromDeviceName("0003:5C3B:030B").has_value());
    EXPECT_FALSE(HidIdFromDeviceName("0003:5C3G:030B.0001").has_value());
}

TEST(HidrawDescriptorRequest, AsksForAtMostWhatTheKernelAccepts) {
    EXPECT_EQ(DescriptorRequestLength(4096), 4095u);
    EXPECT_EQ(DescriptorRequestLength(65536), 4095u);
    EXPECT_EQ(DescriptorRequestLength(33), 33u);
    EXPECT_EQ(DescriptorRequestLength(-1), 0u);
}

}  // namespace
}  // namespace tolvane::hidraw
