// A HID bus that takes a device's exclusive locks (DeviceLock) before the first report written
// through each handle, and holds them until the bus goes away, the end of the run:
//  - its port's lock (HidBus::portOf), first: it outlasts the reset, so the boot loader that
//    arrives at that port is this run's before it is written to, and a second process cannot
//    take it in between. Taken once per port for the whole run (several ports in one run are
//    fine; a port met again is already held);
//  - its node's lock (HidBus::deviceNodeOf), so every collection of one device shares one lock
//    and a script can hold the same one.
// A device at a port or node locked by another process gets no report: the write fails with
// ERROR_BUSY and the path is remembered, so that the tool can say why. A device without a port
// (uhid, a virtual device, or a backend that cannot tell, as under Wine) has its node's lock only;
// one the bus names neither for is written without a lock.
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
    // Takes the lock of a node, or of a port. An empty port taker: devices are locked by their
    // nodes only.
    using Taker =
        std::function<std::unique_ptr<DeviceLock>(std::string_view name, DeviceLock::Outcome&)>;

    explicit LockingHidBus(HidBus& inner, Taker take = &DeviceLock::take,
                           Taker takePort = &DeviceLock::takePort)
        : ForwardingHidBus(inner), take_(std::move(take)), takePort_(std::move(takePort)) {}

    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;

    // Locks the device at `path` and its port for this process (the device again, if it was
    // re-plugged meanwhile); false when another process holds either.
    bool lock(std::u16string_view path);
    // The devices that another process held, in the order met.
    std::vector<std::u16string> busyPaths() const;
    // Whether a device at `port` was held by another process.
    bool busyAt(std::string_view port) const;

private:
    // Refuses the device at `path`, remembering it once.
    void refuse(std::u16string_view path, std::string port);
    // Whether this process holds the lock of `port` now, taking it if not; false when another
    // process holds it.
    bool lockPort(const std::string& port);

    Taker take_;
    Taker takePort_;
    mutable std::mutex mutex_;
    // By port; declared before the nodes' locks, so let go after them.
    std::map<std::string, std::unique_ptr<DeviceLock>, std::less<>> heldPorts_;
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
