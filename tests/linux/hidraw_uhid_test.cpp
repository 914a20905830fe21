// The whole hidraw bus against a virtual HID device made with the kernel's uhid driver: the
// boot loader's identifiers, a 64-byte feature report and 8-byte input and output reports without
// report identifiers. Skipped where /dev/uhid cannot be opened (containers, no privileges).
// The waits here are for the kernel and udev to make or remove the node, bounded generously and
// never measured.
#include "dfu_constants.h"
#include "hidraw_bus.h"
#include "hidraw_path.h"
#include "posix_services.h"
#include "unique_fd.h"

#include <fcntl.h>
#include <linux/uhid.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cstring>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::hidraw {
namespace {

using Bytes = std::vector<std::uint8_t>;

const Bytes kDescriptor = {
    0x06, 0x00, 0xFF,  // Usage Page (Vendor)
    0x09, 0x01,        // Usage (1)
    0xA1, 0x01,        // Collection (Application)
    0x15, 0x00,        //   Logical Minimum (0)
    0x26, 0xFF, 0x00,  //   Logical Maximum (255)
    0x75, 0x08,        //   Report Size (8)
    0x95, 0x08,        //   Report Count (8)
    0x09, 0x01,        //   Usage (1)
    0x81, 0x02,        //   Input: 8 bytes
    0x09, 0x01,        //   Usage (1)
    0x91, 0x02,        //   Output: 8 bytes
    0x95, 0x40,        //   Report Count (64)
    0x09, 0x01,        //   Usage (1)
    0xB1, 0x02,        //   Feature: 64 bytes
    0xC0,              // End Collection
};

// The device side: creates the device and answers the kernel's report requests on a thread.
class VirtualHidDevice {
public:
    static std::unique_ptr<VirtualHidDevice> Create() {
        posix::UniqueFd uhid(::open("/dev/uhid", O_RDWR | O_CLOEXEC));
        posix::UniqueFd stop(::eventfd(0, EFD_CLOEXEC));
        if (!uhid || !stop) {
            return nullptr;
        }
        auto event = std::make_unique<uhid_event>();
        std::memset(event.get(), 0, sizeof *event);
        event->type = UHID_CREATE2;
        std::strcpy(reinterpret_cast<char*>(event->u.create2.name), "tolvane test device");
        std::strcpy(reinterpret_cast<char*>(event->u.create2.uniq), "UHID-0001");
        event->u.create2.rd_size = static_cast<std::uint16_t>(kDescriptor.size());
        event->u.create2.bus = 0x03;  // USB
        event->u.create2.vendor = DFU_VENDOR_ID;
        event->u.create2.product = DFU_PRODUCT_ID_1;
        std::copy(kDescriptor.begin(), kDescriptor.end(), event->u.create2.rd_data);
        if (::write(uhid.get(), event.get(), sizeof *event) != sizeof *event) {
            return nullptr;
        }
        return std::make_unique<VirtualHidDevice>(std::move(uhid), std::move(stop));
    }

    VirtualHidDevice(posix::UniqueFd uhid, posix::UniqueFd stop)
        : uhid_(std::move(uhid)), stop_(std::move(stop)), responder_([this] { respond(); }) {}
    VirtualHidDevice(const VirtualHidDevice&) = delete;
    VirtualHidDevice& operator=(const VirtualHidDevice&) = delete;

    ~VirtualHidDevice() {
        const std::uint64_t one = 1;
        (void)::write(stop_.get(), &one, sizeof one);
        responder_.join();
        destroy();
    }

    void destroy() {
        if (destroyed_) {
            return;
        }
        destroyed_ = true;
        auto event = std::make_unique<uhid_event>();
        std::memset(event.get(), 0, sizeof *event);
        event->type = UHID_DESTROY;
        (void)::write(uhid_.get(), event.get(), sizeof *event);
    }

    Bytes lastSetFeature() {
        std::lock_guard lock(mutex_);
        return setFeature_;
    }
    Bytes lastOutput() {
        std::lock_guard lock(mutex_);
        return output_;
    }

private:
    void respond() {
        auto event = std::make_unique<uhid_event>();
        auto reply = std::make_unique<uhid_event>();
        pollfd fds[2] = {{uhid_.get(), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
        while (::poll(fds, 2, -1) > 0 && fds[1].revents == 0) {
            if (::read(uhid_.get(), event.get(), sizeof *event) <= 0) {
                continue;
            }
            std::memset(reply.get(), 0, sizeof *reply);
            if (event->type == UHID_GET_REPORT) {
                // The answer begins with the report number 0, then the query's answer bytes.
                reply->type = UHID_GET_REPORT_REPLY;
                reply->u.get_report_reply.id = event->u.get_report.id;
                reply->u.get_report_reply.size = 65;
                reply->u.get_report_reply.data[0] = 0;
                reply->u.get_report_reply.data[1] = 0xA5;
                reply->u.get_report_reply.data[2] = 0x5A;
                (void)::write(uhid_.get(), reply.get(), sizeof *reply);
            } else if (event->type == UHID_SET_REPORT) {
                {
                    std::lock_guard lock(mutex_);
                    const std::uint8_t* data = event->u.set_report.data;
                    setFeature_.assign(data, data + event->u.set_report.size);
                }
                reply->type = UHID_SET_REPORT_REPLY;
                reply->u.set_report_reply.id = event->u.set_report.id;
                (void)::write(uhid_.get(), reply.get(), sizeof *reply);
            } else if (event->type == UHID_OUTPUT) {
                std::lock_guard lock(mutex_);
                const std::uint8_t* data = event->u.output.data;
                output_.assign(data, data + event->u.output.size);
            }
        }
    }

    posix::UniqueFd uhid_;
    posix::UniqueFd stop_;
    std::mutex mutex_;
    Bytes setFeature_;
    Bytes output_;
    bool destroyed_ = false;
    std::thread responder_;  // last: started once everything it uses exists
};

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

    auto device = VirtualHidDevice::Create();
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
