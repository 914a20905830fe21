#include "buses/locking_hid_bus.h"

#include <algorithm>
#include <span>

namespace tolvane::cli {
namespace {

class LockingDevice final : public ForwardingHidDevice {
public:
    LockingDevice(std::unique_ptr<HidDevice> inner, LockingHidBus& bus, std::u16string path)
        : ForwardingHidDevice(std::move(inner)), bus_(bus), path_(std::move(path)) {}

    SysError setFeature(std::span<const std::uint8_t> report) override {
        if (!locked()) return kErrorBusy;
        return inner().setFeature(report);
    }
    SysError writeOutput(std::span<const std::uint8_t> report) override {
        if (!locked()) return kErrorBusy;
        return inner().writeOutput(report);
    }

private:
    // Asked once per handle: the lock then lasts as long as the bus.
    bool locked() {
        if (!asked_) {
            asked_ = true;
            locked_ = bus_.lock(path_);
        }
        return locked_;
    }

    LockingHidBus& bus_;
    std::u16string path_;
    bool asked_ = false;
    bool locked_ = false;
};

}  // namespace

bool LockingHidBus::lock(std::u16string_view path) {
    std::string port;
    if (inner().portOf(path, port) != 0) port.clear();
    std::string node;
    if (inner().deviceNodeOf(path, node) != 0) node.clear();
    const std::lock_guard guard(mutex_);
    const bool portWasHeld = heldPorts_.contains(port);
    if (!port.empty() && !lockPort(port)) {
        refuse(path, std::move(port));
        return false;
    }
    if (node.empty()) return true;
    // A lock held from an earlier handle may be on a node that has since gone and come back
    // under the same name: it is let go first, since a second lock of this process on the same
    // node would refuse itself.
    held_.erase(node);
    DeviceLock::Outcome outcome = DeviceLock::Outcome::Unavailable;
    std::unique_ptr<DeviceLock> lock = take_(node, outcome);
    if (outcome == DeviceLock::Outcome::Busy) {
        // The port taken for this device alone is let go again: the run leaves that device be.
        if (!portWasHeld) heldPorts_.erase(port);
        refuse(path, std::move(port));
        return false;
    }
    if (lock) held_.emplace(std::move(node), std::move(lock));
    return true;
}

bool LockingHidBus::lockPort(const std::string& port) {
    // Held since an earlier device at this port (the application before its reset): taking it
    // again would refuse this process itself.
    if (!takePort_ || heldPorts_.contains(port)) return true;
    DeviceLock::Outcome outcome = DeviceLock::Outcome::Unavailable;
    std::unique_ptr<DeviceLock> lock = takePort_(port, outcome);
    if (outcome == DeviceLock::Outcome::Busy) return false;
    // Unavailable (no folder or name for it): the node's lock still stands.
    if (lock) heldPorts_.emplace(port, std::move(lock));
    return true;
}

void LockingHidBus::refuse(std::u16string_view path, std::string port) {
    if (std::ranges::find(busy_, path, &Refusal::path) != busy_.end()) return;
    busy_.push_back(Refusal{std::u16string(path), std::move(port)});
}

std::vector<std::u16string> LockingHidBus::busyPaths() const {
    const std::lock_guard guard(mutex_);
    std::vector<std::u16string> paths;
    for (const Refusal& refusal : busy_) paths.push_back(refusal.path);
    return paths;
}

bool LockingHidBus::busyAt(std::string_view port) const {
    const std::lock_guard guard(mutex_);
    return !port.empty() && std::ranges::find(busy_, port, &Refusal::port) != busy_.end();
}

std::unique_ptr<HidDevice> LockingHidBus::open(std::u16string_view path, DeviceAccess access,
                                               SysError& error) {
    auto device = inner().open(path, access, error);
    if (!device) return device;
    return std::make_unique<LockingDevice>(std::move(device), *this, std::u16string(path));
}

}  // namespace tolvane::cli
