// Puts one simulated device (the simulator's own device model, on the real clock) behind
// /dev/uhid: whichever identity the model shows on its simulated bus is created in the kernel,
// and the kernel's report requests are answered by the model, as usbhid would carry them.
#pragma once

#include "real_timeline.h"
#include "report_descriptor_builder.h"
#include "sim_bus.h"
#include "transcript.h"
#include "uhid_device.h"

#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

namespace tolvane::uhid {

struct BridgeOptions {
    // Where the device sits: the port chain below the root hub ("1.4"); it makes HID_PHYS
    // usb-0000:00:14.0-1.4/input0, the place a hub port of an xHCI controller would give.
    std::string portChain = "1";
    std::string serial;           // HID_UNIQ; empty: "UHID-" and the port chain
    DescriptorShape application;  // the application identity's reports (the boot loader: plain)
};

// HID_PHYS for a port chain.
std::string PhysFor(const std::string& portChain);

class UhidBridge {
public:
    UhidBridge(const sim::DeviceSpec& spec, BridgeOptions options,
               std::unique_ptr<UhidDevice> uhid);
    UhidBridge(const UhidBridge&) = delete;
    UhidBridge& operator=(const UhidBridge&) = delete;

    // Serves the kernel until `stop` becomes non-zero or the kernel device cannot be made; 0, or
    // the errno of the failure.
    int run(const volatile std::sig_atomic_t& stop);

    sim::DeviceMemory memory() const { return device_.memory(); }

private:
    // Makes the kernel show what the model shows now.
    int followIdentity();
    void handle(const uhid_event& event);
    void onSetReport(const uhid_event& event);
    void onGetReport(const uhid_event& event);
    void onOutput(const uhid_event& event);
    // A report ID the identity's descriptor does not declare for its kind, in a numbered identity.
    bool undeclared(std::uint8_t reportId, std::uint8_t rtype) const;
    const sim::InterfaceSpec& lengths() const;

    BridgeOptions options_;
    const sim::DeviceSpec spec_;
    sim::RealTimeline timeline_;
    sim::Transcript transcript_;
    sim::SimBus bus_;
    sim::SimDevice& device_;
    std::unique_ptr<UhidDevice> uhid_;
    std::unique_ptr<HidDevice> handle_;  // the model's interface of the identity shown
    std::optional<sim::Mode> shown_;
};

}  // namespace tolvane::uhid
