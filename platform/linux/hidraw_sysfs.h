// What sysfs tells about hidraw nodes without opening them: every entry read here is
// world-readable, so a node the user may not open is still known by its identifiers, its report
// descriptor, its serial number and its USB port. The root is injectable so that tests run on a
// fixture tree laid out as the kernel lays out /sys.
#pragma once

#include "hid_id.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::hidraw {

// A hidraw node as sysfs shows it at one moment.
struct HidrawNode {
    std::string name;       // "hidraw3"
    std::string hidDevice;  // its HID device, "0003:5C3B:030B.0007": a new number per attachment
    std::optional<HidId> id;
    std::uint32_t collections = 1;  // top-level collections of its report descriptor
};

class HidrawSysfs {
public:
    HidrawSysfs() : root_("/sys") {}
    explicit HidrawSysfs(std::filesystem::path root) : root_(std::move(root)) {}

    const std::filesystem::path& root() const noexcept { return root_; }

    // Whether sysfs lists the node now.
    bool hasNode(std::string_view nodeName) const;
    // The nodes present now, ordered by number; empty when there are none or sysfs is unreadable.
    std::vector<HidrawNode> nodes() const;
    // One node as nodes() describes it; nothing when sysfs does not list it.
    std::optional<HidrawNode> node(std::string_view nodeName) const;

    // HID_ID from the uevent of the node's HID device, else the identifiers in that device's
    // name; nothing when neither can be read.
    std::optional<HidId> hidIdOf(std::string_view nodeName) const;
    // The HID device's report descriptor; nothing when it cannot be read.
    std::optional<std::vector<std::uint8_t>> reportDescriptorOf(std::string_view nodeName) const;
    // HID_UNIQ from the uevent of the node's HID device (the serial number of a USB device);
    // empty when the device has none, nothing when the uevent cannot be read.
    std::optional<std::string> uniqueIdOf(std::string_view nodeName) const;
    // The name of the USB device above the node's HID device, which is its port path ("1-1.4");
    // without one, the place the device's HID_PHYS names in the same form (a virtual device
    // that says where it sits: usb-0000:00:14.0-1.4/input0 gives "1-1.4", the bus number that
    // of the controller's root hub, else 1); empty for a HID device on another bus or without
    // any USB place; nothing when sysfs does not list the node.
    std::optional<std::string> usbPortOf(std::string_view nodeName) const;
    // The USB device's release number (bcdDevice); 0 where there is none.
    std::uint16_t usbReleaseNumberOf(std::string_view nodeName) const;

private:
    std::optional<std::filesystem::path> hidDeviceDir(std::string_view nodeName) const;
    std::optional<std::filesystem::path> usbDeviceDir(std::string_view nodeName) const;
    // The number of the USB bus whose root hub hangs below `controller`; 1 when none does.
    unsigned busNumberOf(std::string_view controller) const;

    std::filesystem::path root_;
};

// The interface paths of a node: one per top-level collection, identifiers 0 when unknown.
std::vector<std::u16string> InterfacePathsOf(const HidrawNode& node);

// The value of `key` in uevent text ("KEY=value" lines); nothing when absent.
std::optional<std::string> UeventValue(std::string_view uevent, std::string_view key);

// The identifiers in a HID device's name, "BBBB:VVVV:PPPP.NNNN"; nothing for another form.
std::optional<HidId> HidIdFromDeviceName(std::string_view name);

// The HID device in a hidraw node's device path (".../0003:5C3B:030B.0007/hidraw/hidraw3"):
// the component above "hidraw"; empty when the path has another form.
std::string HidDeviceFromDevicePath(std::string_view devicePath);

}  // namespace tolvane::hidraw
