// What udev tells about hidraw nodes: their names and the identifiers of their HID devices.
#pragma once

#include "hid_id.h"

#include <libudev.h>
#include <sys/types.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::hidraw {

struct HidrawNode {
    std::string name;  // "hidraw3"
    HidId id;          // all 0 when udev does not know the HID device
};

// The identifiers from the HID_ID property of the node's parent HID device.
std::optional<HidId> HidIdOfNode(udev_device& node);

// The release number (bcdDevice) of the USB device behind the hidraw node with this device
// number; 0 when there is none, as for a Bluetooth device.
std::uint16_t UsbReleaseNumberOfNode(dev_t deviceNumber);

// The hidraw nodes present now, in udev's order; empty when there are none or udev gives no
// list.
std::vector<HidrawNode> EnumerateHidrawNodes(udev& context);

}  // namespace tolvane::hidraw
