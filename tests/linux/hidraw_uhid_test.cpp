// The whole hidraw bus against a virtual HID device made with the kernel's uhid driver: the
// boot loader's identifiers, a 64-byte feature report and 8-byte input and output reports without
// report identifiers. Skipped where /dev/uhid cannot be opened (containers, no privileges).
// The waits here are for the kernel and udev to make or remove the node, bounded generously and
// never measured.
#include "dfu_constants.h"
#include "hidraw_bus.h"
#include "hidraw_path.h"
#include "posix_services.h"
#include "uhid_device.h"

#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::hidraw {
namespace {

using testing::Bytes;

class RecordingHandler : public DeviceChangeHandler {
public:
    void onDeviceChange(const DeviceChangeMessage& message) override {
        seen.emplace_back(message.eventType, std::u16string(message.name));
    }
    std::vector<std::pair<std::uint32_t, std::u16string>> seen;
};

constexpr auto kKernelLimit = std::chrono::seconds(10);

std::optional<std::u16string> FindBootLoaderPath(HidrawBus& bus) {
    const auto deadline = std::chrono::steady_clock::now() + kKernelLimit;
    while (std::chrono::steady_clock::now() < deadline) {
        const auto list = bus.listInterfaces();
        std::u16string path;
        for (std::uint32_t i = 0; list && list->interfacePath(i, path) == InterfaceLookup::Found;
             ++i) {
            if (path.starts_with(u"\\\\?\\HID#VID_5C3B&PID_030B#")) {
                return path;
            }
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    return std::nullopt;
}

bool DispatchUntil(posix::PosixServices& services, const RecordingHandler& handler,
                   std::size_t count) {
    const auto deadline = std::chrono::steady_clock::now() + kKernelLimit;
    while (handler.seen.size() < count && std::chrono::steady_clock::now() < deadline) {
        services.dispatchMessages(50);
    }
    return handler.seen.size() >= count;
}

TEST(HidrawOnUhid, FindsOpensAndTalksToAVirtualBootLoaderAndSeesItComeAndGo) {
    if (::access("/dev/uhid", R_OK | W_OK) != 0) {
        GTEST_SKIP() << "no /dev/uhid here";
    }
    HidrawBus bus;
    posix::PosixServices services;
    RecordingHandler handler;
    SysError error = 0;
    auto window = services.createNotifyWindow(NotifyWindowSpec{}, handler, error);
    ASSERT_NE(window, nullptr);
    auto registration = bus.registerNotifications(*window, error);
    ASSERT_NE(registration, nullptr) << "error " << error;

    auto device = testing::UhidDevice::Create(DFU_VENDOR_ID, DFU_PRODUCT_ID_1, "UHID-0001");
    ASSERT_NE(device, nullptr);
    const auto path = FindBootLoaderPath(bus);
    ASSERT_TRUE(path.has_value()) << "the hidraw node did not appear";

    auto open = bus.open(*path, DeviceAccess::ReadWrite, error);
    ASSERT_NE(open, nullptr) << "error " << error;
    HidAttributes attributes;
    ASSERT_EQ(open->getAttributes(attributes), 0u);
    EXPECT_EQ(attributes.vendorId, DFU_VENDOR_ID);
    EXPECT_EQ(attributes.productId, DFU_PRODUCT_ID_1);
    std::u16string serial;
    ASSERT_EQ(open->getSerialNumber(serial), 0u);
    EXPECT_EQ(serial, u"UHID-0001");
    std::string port = "stale";
    ASSERT_EQ(bus.portOf(*path, port), 0u);
    EXPECT_EQ(port, "") << "a virtual device has no USB port";
    HidCapabilities capabilities;
    ASSERT_EQ(open->getCapabilities(capabilities), 0u);
    EXPECT_EQ(capabilities.inputReportByteLength, 9);
    EXPECT_EQ(capabilities.outputReportByteLength, 9);
    EXPECT_EQ(capabilities.featureReportByteLength, 65);

    Bytes feature(65, 0);
    feature[1] = DFU_CMD_QUERY;
    ASSERT_EQ(open->setFeature(feature), 0u);
    EXPECT_EQ(device->lastSetFeature(), feature);

    Bytes answer(65, 0xEE);
    answer[0] = 0;
    ASSERT_EQ(open->getFeature(answer), 0u);
    EXPECT_EQ(answer[1], 0xA5);
    EXPECT_EQ(answer[2], 0x5A);

    Bytes output(9, 0);
    output[1] = DFU_CMD_RESET;
    ASSERT_EQ(open->writeOutput(output), 0u);
    open.reset();

    ASSERT_TRUE(DispatchUntil(services, handler, 1));
    EXPECT_EQ(handler.seen[0].first, kDeviceArrival);
    EXPECT_EQ(handler.seen[0].second, *path);

    device->destroy();
    ASSERT_TRUE(DispatchUntil(services, handler, 2));
    EXPECT_EQ(handler.seen[1].first, kDeviceRemoveComplete);
    EXPECT_EQ(handler.seen[1].second, *path) << "the removal carries the remembered path";
    // The output report went to the device before it left.
    EXPECT_EQ(device->lastOutput(), output);

    EXPECT_EQ(registration->unregister(), 0u);
    EXPECT_EQ(window->destroy(), 0u);
}

}  // namespace
}  // namespace tolvane::hidraw
