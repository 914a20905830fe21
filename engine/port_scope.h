// What confines an engine to the device at one port. A device changes its interfaces when it
// switches between application and boot loader, but stays at its port, so a scoped engine follows
// one physical device through both identities and never touches its neighbours.
#pragma once

#include "hid_bus.h"
#include "system_services.h"

#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// The port rule of every filter: with no port wanted, every interface counts; with one, an
// interface counts when its port is that one.
bool PortAdmits(const std::optional<std::string>& wanted, std::string_view port);
// The same for the interface at `path` (present now); the bus is asked for the port only when
// one is wanted, and an interface whose port it cannot tell does not count.
bool PortAdmits(HidBus& bus, std::u16string_view path, const std::optional<std::string>& wanted);

class PortScope {
public:
    PortScope() = default;
    PortScope(const PortScope&) = delete;
    PortScope& operator=(const PortScope&) = delete;

    // From now on only interfaces at `port` count; forgets the paths seen at an earlier port.
    void confineTo(std::string port);
    // The port, or none: every interface counts.
    std::optional<std::string> port() const;

    // Whether the interface at `path` (present now) is at the port. A match is remembered, so
    // that its removal is still recognised once its port can no longer be looked up. Unscoped:
    // true without asking the bus.
    bool admits(HidBus& bus, std::u16string_view path);
    // Whether a device-change notification is about the port: an arrival by the port of the
    // arriving interface, a removal by the paths seen at the port. Other kinds pass.
    bool admitsChange(HidBus& bus, const DeviceChangeMessage& message);

private:
    bool seenLocked(std::u16string_view path) const;

    mutable std::mutex mutex_;
    std::optional<std::string> port_;
    std::vector<std::u16string> seen_;  // ASCII case folded, as the system compares paths
};

}  // namespace tolvane
