#include "buses/port_pinned_bus.h"

#include "interface_walk.h"
#include "port_scope.h"

#include <span>
#include <vector>

namespace tolvane::cli {
namespace {

// The interfaces of a listing that the pin admits, taken when the listing is made.
class PinnedList final : public HidInterfaceList {
public:
    explicit PinnedList(std::vector<std::u16string> paths) : paths_(std::move(paths)) {}

    InterfaceLookup interfacePath(std::uint32_t index, std::u16string& path) override {
        if (index >= paths_.size()) return InterfaceLookup::End;
        path = paths_[index];
        return InterfaceLookup::Found;
    }

private:
    std::vector<std::u16string> paths_;
};

// Pins the bus to the device's port before the device's first report goes out.
class PinningDevice final : public ForwardingHidDevice {
public:
    PinningDevice(std::unique_ptr<HidDevice> inner, PortPinnedBus& bus, std::string port)
        : ForwardingHidDevice(std::move(inner)), bus_(bus), port_(std::move(port)) {}

    SysError setFeature(std::span<const std::uint8_t> report) override {
        bus_.pin(port_);
        return inner().setFeature(report);
    }
    SysError writeOutput(std::span<const std::uint8_t> report) override {
        bus_.pin(port_);
        return inner().writeOutput(report);
    }

private:
    PortPinnedBus& bus_;
    std::string port_;
};

}  // namespace

std::optional<std::string> PortPinnedBus::pinnedPort() const {
    const std::lock_guard lock(mutex_);
    return pinned_;
}

void PortPinnedBus::pin(const std::string& port) {
    if (port.empty()) return;
    const std::lock_guard lock(mutex_);
    if (!pinned_) pinned_ = port;
}

bool PortPinnedBus::admits(std::u16string_view path) {
    return PortAdmits(inner(), path, pinnedPort());
}

std::unique_ptr<HidInterfaceList> PortPinnedBus::listInterfaces() {
    std::unique_ptr<HidInterfaceList> list = inner().listInterfaces();
    if (!list || !pinnedPort()) return list;
    std::vector<std::u16string> admitted;
    WalkInterfaces(*list, [&](const std::u16string& path) {
        if (admits(path)) admitted.push_back(path);
        return true;
    });
    return std::make_unique<PinnedList>(std::move(admitted));
}

std::unique_ptr<HidDevice> PortPinnedBus::open(std::u16string_view path, DeviceAccess access,
                                               SysError& error) {
    // An interface at another port is not there for this bus, as a listing of it shows.
    if (!admits(path)) {
        error = kErrorFileNotFound;
        return nullptr;
    }
    // Read while the interface is present: the port is what the pin is made of.
    std::string port;
    if (inner().portOf(path, port) != 0) port.clear();
    auto device = inner().open(path, access, error);
    if (!device) return device;
    return std::make_unique<PinningDevice>(std::move(device), *this, std::move(port));
}

}  // namespace tolvane::cli
