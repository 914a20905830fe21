// The USB place a HID device's HID_PHYS names: "usb-<controller>-<port chain>/input<n>", as
// usbhid writes it (usb-0000:00:14.0-1.4/input0). Virtual devices (uhid) may give the same form
// without any USB device in sysfs; their port is then told from it.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace tolvane::hidraw {

struct UsbPhys {
    std::string controller;  // "0000:00:14.0"
    std::string portChain;   // "1.4": the root hub's port, then each hub's
};

// Nothing when `phys` is not of that form (Bluetooth gives the adapter's address, for example).
std::optional<UsbPhys> ParseUsbPhys(std::string_view phys);

// The port in the form of a USB device's name in sysfs, "<bus number>-<port chain>" ("1-1.4").
std::string UsbPortName(unsigned busNumber, const UsbPhys& phys);

}  // namespace tolvane::hidraw
