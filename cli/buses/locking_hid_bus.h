// A HID bus that takes a device's exclusive lock (DeviceLock) before the first report written
// through each handle, and holds it until the bus goes away, the end of the run. What is locked is
// the device as the bus below names it (HidBus::deviceNodeOf), so every collection of one device
// shares one lock and a script can hold the same one. A device locked by another process gets no
// report: the write fails with ERROR_BUSY and the path is remembered, so that the tool can say
// why. A device the bus names no node for is written without a lock.
#pragma once

#include "forwarding_hid_bus.h"
#include "system/device_lock.h"

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace tolvane::cli {

class LockingHidBus final : public ForwardingHidBus {
public:
    using Taker =
        std::function<std::unique_ptr<DeviceLock>(std::string_view node, DeviceLock::Outcome&)>;

    explicit LockingHidBus(HidBus& inner, Taker take = &DeviceLock::take)
        : ForwardingHidBus(inner), take_(std::move(take)) {}

    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;

    // Locks the device at `path` for this process (again, if it was re-plugged meanwhile);
    // false when another process holds it.
    bool lock(std::u16string_view path);
    // The devices that another process held, in the order met.
    std::vector<std::u16string> busyPaths() const;
    // Whether a device at `port` was held by another process.
    bool busyAt(std::string_view port) const;

private:
    Taker take_;
    mutable std::mutex mutex_;
    // By device node.
    std::map<std::string, std::unique_ptr<DeviceLock>, std::less<>> held_;
    // A device another process held, and its port (empty when the bus cannot tell).
    struct Refusal {
        std::u16string path;
        std::string port;
    };
    std::vector<Refusal> busy_;
};

}  // namespace tolvane::cli
