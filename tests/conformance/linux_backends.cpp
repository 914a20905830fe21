// The Linux bus and the POSIX services under the conformance suites. On a fixture sysfs tree,
// where plain files stand in for the device nodes: a boot loader with a serial number on USB port
// 1-1.4, and a node the user may not open for writing; a node opened read-only is refused as a
// user's root-only node is, so that those handles are described from sysfs. On the real kernel,
// where /dev/uhid opens (the linux-kernel stage's virtual machine): a virtual device of its own.
#include "hid_bus_conformance.h"
#include "hidraw_bus.h"
#include "posix_services.h"
#include "sysfs_fixture.h"
#include "system_services_conformance.h"
#include "uhid_device.h"

#include <fcntl.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <string_view>
#include <thread>

namespace tolvane::conformance {
namespace {

using hidraw::testing::FixtureNode;
using hidraw::testing::HidUevent;
using hidraw::testing::SysfsFixture;

// One vendor collection: 8-byte input and output reports and a 64-byte feature report, no
// report identifiers.
const std::vector<std::uint8_t> kDescriptor = {
    0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00, 0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x08,
    0x09, 0x01, 0x81, 0x02, 0x09, 0x01, 0x91, 0x02, 0x95, 0x40, 0x09, 0x01, 0xB1, 0x02, 0xC0,
};

class FixtureBusBackend final : public BusBackend {
public:
    FixtureBusBackend() {
        transfers = false;
        handlesSeeRemoval = false;
        namesDeviceNodes = true;
        fixture_.add({"hidraw0", "pci0000:00/0000:00:14.0/usb1/1-1/1-1.4/1-1.4:1.0",
                      "0003:5C3B:030B.0001", HidUevent("0003:00005C3B:0000030B", "SN-0042"),
                      kDescriptor});
        fixture_.add({"hidraw1", "pci0000:00/0000:00:14.0/usb1/1-2/1-2:1.0", "0003:845E:0002.0002",
                      HidUevent("0003:0000845E:00000002"), kDescriptor});
    }
    HidBus& bus() override { return bus_; }
    SystemServices& services() override { return services_; }
    std::u16string absentPath() override { return u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw999"; }
    std::optional<KnownInterface> device() override {
        return KnownInterface{u"\\\\?\\HID#VID_5C3B&PID_030B#hidraw0",
                              0x5C3B,
                              0x030B,
                              HidCapabilities{9, 9, 65},
                              u"SN-0042",
                              "1-1.4",
                              (fixture_.dev() / "hidraw0").string()};
    }
    std::u16string refusingPath() override { return u"\\\\?\\HID#VID_845E&PID_0002#hidraw1"; }
    bool unplug() override {
        fixture_.remove("hidraw0");
        return true;
    }

private:
    static int OpenNode(const char* node, int flags) {
        if (!std::filesystem::exists(node)) {
            errno = ENOENT;
            return -1;
        }
        if ((flags & O_ACCMODE) == O_RDONLY || std::string_view(node).ends_with("hidraw1")) {
            errno = EACCES;
            return -1;
        }
        return ::open(node, flags);
    }

    SysfsFixture fixture_;
    hidraw::HidrawBus bus_{hidraw::HidrawBusConfig{
        fixture_.sysfs(), fixture_.dev(), &OpenNode,
        [](const char*) { return std::optional(std::chrono::milliseconds(60000)); },
        [](std::chrono::milliseconds) {}}};
    posix::PosixServices services_;
};

// Another product than the tool's targets, so that nothing else in the machine takes it for one.
constexpr std::uint16_t kUhidProduct = 0x0C0F;

class KernelBusBackend final : public BusBackend {
public:
    KernelBusBackend() {
        namesDeviceNodes = true;
        device_ = hidraw::testing::UhidDevice::Create(0x5C3B, kUhidProduct, "CONF-0001");
        for (int tries = 0; device_ && path_.empty() && tries < 1000; ++tries) {
            path_ = find();
            if (path_.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
    }
    HidBus& bus() override { return bus_; }
    SystemServices& services() override { return services_; }
    std::u16string absentPath() override { return u"\\\\?\\HID#VID_5C3B&PID_0C0F#hidraw999"; }
    std::optional<KnownInterface> device() override {
        if (path_.empty()) return std::nullopt;
        const std::u16string name = path_.substr(path_.rfind(u'#') + 1);
        return KnownInterface{path_,
                              0x5C3B,
                              kUhidProduct,
                              HidCapabilities{9, 9, 65},
                              u"CONF-0001",
                              "",
                              "/dev/" + std::string(name.begin(), name.end())};
    }
    bool unplug() override {
        device_->destroy();
        for (int tries = 0; !find().empty() && tries < 1000; ++tries) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        return true;
    }

private:
    std::u16string find() {
        const auto list = bus_.listInterfaces();
        std::u16string path;
        for (std::uint32_t i = 0; list && list->interfacePath(i, path) == InterfaceLookup::Found;
             ++i) {
            if (path.starts_with(u"\\\\?\\HID#VID_5C3B&PID_0C0F#")) return path;
        }
        return {};
    }

    hidraw::HidrawBus bus_;
    posix::PosixServices services_;
    std::unique_ptr<hidraw::testing::UhidDevice> device_;
    std::u16string path_;
};

class PosixServicesBackend final : public ServicesBackend {
public:
    SystemServices& services() override { return services_; }

private:
    posix::PosixServices services_;
};

INSTANTIATE_TEST_SUITE_P(Linux, HidBusConformance,
                         ::testing::Values(BusMaker{
                             "HidrawOnFixture",
                             [] { return std::make_unique<FixtureBusBackend>(); }}),
                         MakerName{});
// Where /dev/uhid does not open, the backend has no device and the device cases skip.
INSTANTIATE_TEST_SUITE_P(Kernel, HidBusConformance,
                         ::testing::Values(BusMaker{
                             "HidrawOnUhid", [] { return std::make_unique<KernelBusBackend>(); }}),
                         MakerName{});
INSTANTIATE_TEST_SUITE_P(Posix, ServicesConformance,
                         ::testing::Values(ServicesMaker{
                             "Posix", [] { return std::make_unique<PosixServicesBackend>(); }}),
                         MakerName{});

}  // namespace
}  // namespace tolvane::conformance
