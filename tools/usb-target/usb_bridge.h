// Puts one simulated device (the simulator's own device model, on the real clock) on a USB device
// controller through configfs and FunctionFS: whichever identity the model shows on its simulated
// bus is the gadget bound to the controller (ids, release number, report descriptor), and the
// host's HID class requests on ep0 are answered by the model, as the device's firmware would.
#pragma once

#include "configfs_gadget.h"
#include "functionfs.h"
#include "real_timeline.h"
#include "report_descriptor_builder.h"
#include "report_rules.h"
#include "sim_bus.h"
#include "transcript.h"

#include <csignal>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::usb {

struct UsbBridgeOptions {
    std::string udc = "dummy_udc.0";    // the device controller (ls /sys/class/udc)
    std::string serial;                 // empty: "USB-" and the controller's number
    uhid::DescriptorShape application;  // the application identity's reports (boot loader: plain)
    ReportRules rules;
};

class UsbBridge {
public:
    UsbBridge(const sim::DeviceSpec& spec, UsbBridgeOptions options);
    UsbBridge(const UsbBridge&) = delete;
    UsbBridge& operator=(const UsbBridge&) = delete;
    ~UsbBridge();

    // Serves the host until `stop` becomes non-zero; empty, or why the device could not be made.
    std::string run(const volatile std::sig_atomic_t& stop);

    sim::DeviceMemory memory() const { return device_.memory(); }

private:
    // Makes the host see what the model shows now; empty or the failure.
    std::string followIdentity();
    std::string openFunction(const std::vector<std::uint8_t>& reportDescriptor);
    void handle(const usb_functionfs_event& event);
    void onSetup(const SetupPacket& setup);
    // Holds the request for a late rule's delay; false when a stop ended the wait.
    bool holdFor(std::uint32_t delayMs) const;
    void onGetReport(const SetupPacket& setup, std::uint8_t type, std::uint8_t id);
    void onSetReport(const SetupPacket& setup, std::uint8_t type, std::uint8_t id);
    bool undeclared(std::uint8_t reportId, std::uint8_t type) const;
    const sim::InterfaceSpec& lengths() const;
    void log(const char* format, ...) const __attribute__((format(printf, 2, 3)));

    UsbBridgeOptions options_;
    const sim::DeviceSpec spec_;
    sim::RealTimeline timeline_;
    sim::Transcript transcript_;
    sim::SimBus bus_;
    sim::SimDevice& device_;
    std::string instance_;
    std::unique_ptr<ConfigfsGadget> gadget_;
    std::unique_ptr<FunctionFsMount> mount_;
    std::unique_ptr<Ep0> ep0_;
    std::vector<std::uint8_t> reportDescriptor_;  // the one ep0's descriptors name
    std::unique_ptr<HidDevice> handle_;           // the model's interface of the identity shown
    std::optional<sim::Mode> shown_;
    // run's stop flag: a data stage blocked on ep0 gives up when it is set.
    const volatile std::sig_atomic_t* stop_ = nullptr;
};

}  // namespace tolvane::usb
