// A HID bus that keeps a single-device command with the first device it writes to. Once a report
// has been written to an interface whose port is known, interfaces at every other port are no
// longer listed and cannot be opened: a boot loader that arrives elsewhere while the device
// switches identity is never taken for its own. Where the backend knows no port, nothing is pinned.
#pragma once

#include "forwarding_hid_bus.h"

#include <mutex>
#include <optional>
#include <string>

namespace tolvane::cli {

class PortPinnedBus final : public ForwardingHidBus {
public:
    explicit PortPinnedBus(HidBus& inner) : ForwardingHidBus(inner) {}

    std::unique_ptr<HidInterfaceList> listInterfaces() override;
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;

    // The port of the first device written to, once there is one.
    std::optional<std::string> pinnedPort() const;
    // Called before a report goes to an interface at `port` (empty: unknown).
    void pin(const std::string& port);

private:
    // Whether the interface at `path` may be used: always before the pin, then only at its port.
    bool admits(std::u16string_view path);

    mutable std::mutex mutex_;
    std::optional<std::string> pinned_;
};

}  // namespace tolvane::cli
