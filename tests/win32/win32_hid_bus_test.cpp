// The Windows HID bus under Wine beyond its contract (tests/conformance), which always shows its
// own virtual mouse (845E:0001) and keyboard (845E:0002), both without feature reports.
#include "win32_hid_bus.h"

#include "dfu_engine.h"
#include "notification_filter.h"
#include "usb_port_lookup.h"
#include "win32_api.h"
#include "win32_services.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <string>
#include <vector>

namespace tolvane {
namespace {

constexpr std::uint16_t kWineVendor = 0x845E;
constexpr std::uint16_t kWineMouse = 0x0001;

std::string Lower(std::u16string_view text) {
    std::string out;
    for (const char16_t unit : text) {
        out.push_back(static_cast<char>(std::tolower(static_cast<unsigned char>(unit & 0x7F))));
    }
    return out;
}

std::vector<std::u16string> AllPaths(HidBus& bus) {
    std::vector<std::u16string> paths;
    auto list = bus.listInterfaces();
    if (!list) {
        return paths;
    }
    std::u16string path;
    for (std::uint32_t index = 0;; ++index) {
        const InterfaceLookup lookup = list->interfacePath(index, path);
        if (lookup == InterfaceLookup::End) {
            break;
        }
        if (lookup == InterfaceLookup::Found) {
            paths.push_back(path);
        }
    }
    return paths;
}

std::u16string WineMousePath(HidBus& bus) {
    for (const std::u16string& path : AllPaths(bus)) {
        if (Lower(path).find("vid_845e&pid_0001") != std::string::npos) {
            return path;
        }
    }
    return {};
}

TEST(Win32HidBus, ListsWinesVirtualDevicesByTheirInterfacePaths) {
    Win32HidBus bus;
    const std::vector<std::u16string> paths = AllPaths(bus);
    ASSERT_FALSE(paths.empty());
    for (const std::u16string& path : paths) {
        EXPECT_EQ(path.rfind(u"\\\\?\\", 0), 0u) << Lower(path);
        EXPECT_NE(Lower(path).find("{4d1e55b2-f16f-11cf-88cb-001111000030}"), std::string::npos);
    }
    EXPECT_FALSE(WineMousePath(bus).empty());
}

TEST(Win32HidBus, OpensTheVirtualMouseAndReadsItsAttributesAndCapabilities) {
    Win32HidBus bus;
    const std::u16string path = WineMousePath(bus);
    ASSERT_FALSE(path.empty());
    SysError error = 1;
    auto device = bus.open(path, DeviceAccess::ReadWrite, error);
    if (!device) {
        EXPECT_NE(error, 0u);
        device = bus.open(path, DeviceAccess::None, error);
    }
    ASSERT_NE(device, nullptr);
    EXPECT_EQ(error, 0u);

    HidAttributes attributes;
    EXPECT_EQ(device->getAttributes(attributes), 0u);
    EXPECT_EQ(attributes.vendorId, kWineVendor);
    EXPECT_EQ(attributes.productId, kWineMouse);

    HidCapabilities capabilities;
    EXPECT_EQ(device->getCapabilities(capabilities), 0u);
    EXPECT_EQ(capabilities.featureReportByteLength, 0u);
    // A mouse without feature reports refuses one.
    const std::uint8_t report[2] = {0, 0};
    EXPECT_NE(device->setFeature(report), 0u);
}

TEST(Win32HidBus, EngineFindsNoDeviceWithFeatureReportsAmongWinesOwn) {
    Win32HidBus bus;
    Win32Services services;
    DfuEngine engine(bus, services);
    EXPECT_FALSE(engine.FindHidDevice(kWineVendor, kWineMouse));
    EXPECT_EQ(engine.state().target.handle, nullptr);
    EXPECT_EQ(engine.state().target.featureReportLength, 0u);
    EXPECT_EQ(engine.state().target.vendorId, kWineVendor);
    EXPECT_FALSE(engine.FindHidDevice(DFU_VENDOR_ID, DFU_PRODUCT_ID_1));
}

TEST(HidNotificationFilter, Is32BytesForTheHidInterfaceClassWithNoName) {
    const DEV_BROADCAST_DEVICEINTERFACE_W filter = win32::HidNotificationFilter();
    EXPECT_EQ(filter.dbcc_size, 32u);
    EXPECT_EQ(filter.dbcc_devicetype, 5u);
    EXPECT_EQ(filter.dbcc_reserved, 0u);
    EXPECT_EQ(filter.dbcc_name[0], L'\0');
    GUID hidClass{};
    HidD_GetHidGuid(&hidClass);
    EXPECT_TRUE(IsEqualGUID(filter.dbcc_classguid, hidClass));
    EXPECT_EQ(filter.dbcc_classguid.Data1, 0x4D1E55B2u);
}

class NullWindow final : public NotifyWindow {
public:
    SysError destroy() override { return 0; }
    void* nativeHandle() const override { return nullptr; }
    void deliverDeviceChange(std::uint32_t, std::u16string) override {}
};

TEST(Win32NotificationRegistration, WithoutAWindowFailsWithAnError) {
    Win32HidBus bus;
    NullWindow window;
    SysError error = 0;
    EXPECT_EQ(bus.registerNotifications(window, error), nullptr);
    EXPECT_NE(error, 0u);
}

// Wine's own HID devices hang off its virtual bus, not off a USB device: they have no port, and
// that is not an error.
TEST(Win32HidBus, VirtualDevicesHaveAnEmptyPortWithoutError) {
    Win32HidBus bus;
    const std::vector<std::u16string> paths = AllPaths(bus);
    ASSERT_FALSE(paths.empty());
    for (const std::u16string& path : paths) {
        std::string port = "stale";
        EXPECT_EQ(bus.portOf(path, port), 0u) << Lower(path);
        EXPECT_EQ(port, "") << Lower(path);
    }
}

TEST(Win32HidBus, SerialNumberOfTheVirtualMouseIsReadWithoutError) {
    Win32HidBus bus;
    const std::u16string path = WineMousePath(bus);
    ASSERT_FALSE(path.empty());
    SysError error = 0;
    auto device = bus.open(path, DeviceAccess::None, error);
    ASSERT_NE(device, nullptr);
    std::u16string serial = u"stale";
    EXPECT_EQ(device->getSerialNumber(serial), 0u);
    EXPECT_LT(serial.size(), 127u);
    EXPECT_EQ(serial.find(u'\0'), std::u16string::npos);
}

TEST(UsbDeviceNodeId, OnlyAWholeUsbDeviceCountsNotOneOfItsInterfaces) {
    EXPECT_TRUE(win32::IsUsbDeviceNodeId(L"USB\\VID_5C3B&PID_0326\\5&2A3B&0&4"));
    EXPECT_TRUE(win32::IsUsbDeviceNodeId(L"usb\\vid_5c3b&pid_030b\\SERIAL&MI_00"));
    EXPECT_FALSE(win32::IsUsbDeviceNodeId(L"USB\\VID_5C3B&PID_0326&MI_01\\6&1&0&0001"));
    EXPECT_FALSE(win32::IsUsbDeviceNodeId(L"USB\\VID_5C3B&PID_0326&mi_00\\6&1"));
    EXPECT_FALSE(win32::IsUsbDeviceNodeId(L"HID\\VID_5C3B&PID_0326\\7&1&0&0000"));
    EXPECT_FALSE(win32::IsUsbDeviceNodeId(L"WINEBUS\\VID_845E&PID_0001\\0"));
    EXPECT_FALSE(win32::IsUsbDeviceNodeId(L"USBSTOR\\DISK"));
    EXPECT_FALSE(win32::IsUsbDeviceNodeId(L"USB"));
}

// The node a tool process locks names the device: the same on every call, another for another
// device.
TEST(Win32HidBus, EachOfWinesDevicesHasANodeOfItsOwn) {
    Win32HidBus bus;
    std::vector<std::string> nodes;
    for (const std::u16string& path : AllPaths(bus)) {
        std::string node, again;
        ASSERT_EQ(bus.deviceNodeOf(path, node), 0u) << Lower(path);
        ASSERT_EQ(bus.deviceNodeOf(path, again), 0u) << Lower(path);
        EXPECT_EQ(node, again);
        EXPECT_FALSE(node.empty());
        nodes.push_back(node);
    }
    ASSERT_GE(nodes.size(), 2u);
    std::sort(nodes.begin(), nodes.end());
    EXPECT_EQ(std::adjacent_find(nodes.begin(), nodes.end()), nodes.end());
}

// One of several top-level collections is named by the device above it, so that all of them
// share the device's lock.
TEST(HidCollectionNodeId, OnlyACollectionOfSeveralCounts) {
    EXPECT_TRUE(win32::IsHidCollectionNodeId(L"HID\\VID_5C3B&PID_0326&COL01\\7&1A2B&0&0000"));
    EXPECT_TRUE(win32::IsHidCollectionNodeId(L"hid\\vid_5c3b&pid_0326&mi_00&col02\\8&1&0&0001"));
    EXPECT_FALSE(win32::IsHidCollectionNodeId(L"HID\\VID_5C3B&PID_0326\\7&1A2B&0&0000"));
    EXPECT_FALSE(win32::IsHidCollectionNodeId(L"HID\\VID_5C3B&PID_0326\\COL&0"));
    EXPECT_FALSE(win32::IsHidCollectionNodeId(L"USB\\VID_5C3B&PID_0326&COL01\\5&2"));
    EXPECT_FALSE(win32::IsHidCollectionNodeId(L"HID"));
}

}  // namespace
}  // namespace tolvane
