// One physical simulated device. It shows one identity at a time on the bus (application or boot
// loader), switches on a reset report, and keeps its memory (DeviceMemory) across both. All
// methods are thread-safe (they take the bus's lock).
#pragma once

#include "boot_loader_protocol.h"
#include "device_memory.h"
#include "device_spec.h"
#include "hid_bus.h"

#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace tolvane::sim {

class SimBus;

// One interface of the identity on the bus now. Handles keep it; once the identity has left,
// every call on them fails with 1167.
struct InterfaceInstance {
    std::u16string path;
    std::size_t index = 0;  // into the identity's interfaces
    Mode mode = Mode::Application;
    bool present = true;
};

class SimDevice {
public:
    SimDevice(SimBus& bus, DeviceSpec config, std::uint32_t number);
    SimDevice(const SimDevice&) = delete;
    SimDevice& operator=(const SimDevice&) = delete;

    // The identity on the bus now; none while the device is away.
    std::optional<Mode> mode() const;
    bool present() const { return mode().has_value(); }
    // A copy of what the device has received.
    DeviceMemory memory() const;
    // The interface paths of the identity on the bus now, in enumeration order.
    std::vector<std::u16string> paths() const;
    // The path the given identity's interface has (or will have) on the bus.
    std::u16string pathOf(Mode mode, std::size_t interfaceIndex = 0) const;

    // Takes the device off the bus now (removal notifications); nothing brings it back but plugIn.
    void unplug();
    // Puts the device on the bus now as `mode` (arrival notifications), if it is away.
    void plugIn(Mode mode);
    // Adds a refusal rule to an interface of an identity.
    void addRefusal(Mode mode, Refusal refusal, std::size_t interfaceIndex = 0);
    void setWrongChecksum(bool wrong);

    std::uint32_t number() const { return number_; }
    // Its place on the bus and its serial number, which stay the same across both identities.
    const std::string& port() const { return port_; }
    const std::u16string& serial() const { return serial_; }

private:
    friend class SimBus;
    friend class SimHidDevice;

    // Everything below runs with the bus's lock held.
    std::u16string pathOfLocked(Mode mode, std::size_t interfaceIndex) const;
    InterfaceSpec& specOf(const InterfaceInstance& instance);
    SysError setFeatureLocked(const InterfaceInstance& instance,
                              std::span<const std::uint8_t> report);
    SysError getFeatureLocked(const InterfaceInstance& instance, std::span<std::uint8_t> report);
    SysError writeOutputLocked(const InterfaceInstance& instance, DeviceAccess access,
                               std::span<const std::uint8_t> report);
    ReportKind classifySetLocked(std::span<const std::uint8_t> report) const;
    // Applies the refusal and unplug rules to the report about to be handled; non-zero: it fails.
    // `sent`: the host sends the report (set feature, write output). `left`: the device left
    // after acknowledging it, so the report succeeds and is not acted on.
    SysError rulesLocked(InterfaceSpec& config, ReportKind kind, bool sent, bool& left);
    std::uint32_t reportNumberLocked(ReportKind kind) const;
    // Counts a report that was taken, and notes how long its status stage is held.
    void acceptedLocked(ReportKind kind);
    // How long the report just handled holds its transfer; 0 afterwards.
    std::uint32_t takeHoldLocked();
    // An accepted reset: the device leaves and comes back as its other identity.
    void resetLocked();
    void arriveLocked(Mode mode);
    void leaveLocked();
    void leaveAndReturnLocked(Mode comesBackAs, std::uint32_t afterMs, bool never);

    SimBus& bus_;
    DeviceSpec spec_;
    const std::uint32_t number_;
    const std::string port_;
    const std::u16string serial_;
    std::optional<Mode> current_;
    std::uint64_t generation_ = 0;  // changes whenever the device leaves or arrives
    std::vector<std::shared_ptr<InterfaceInstance>> instances_;
    BootLoaderProtocol protocol_;
    DeviceMemory memory_;
    std::map<ReportKind, std::uint32_t> accepted_;  // reports accepted per kind
    std::uint32_t holdMs_ = 0;                      // of the report just handled
};

}  // namespace tolvane::sim
