#include "udev_hidraw.h"

#include "hidraw_path.h"
#include "udev_handles.h"

#include <charconv>
#include <string_view>

namespace tolvane::hidraw {

std::optional<HidId> HidIdOfNode(udev_device& node) {
    // The parent is owned by the node and must not be released.
    udev_device* hid = udev_device_get_parent_with_subsystem_devtype(&node, "hid", nullptr);
    if (hid == nullptr) {
        return std::nullopt;
    }
    const char* property = udev_device_get_property_value(hid, "HID_ID");
    if (property == nullptr) {
        return std::nullopt;
    }
    return ParseHidId(property);
}

std::uint16_t UsbReleaseNumberOfNode(dev_t deviceNumber) {
    const UdevPtr context(udev_new());
    if (!context) {
        return 0;
    }
    const UdevDevicePtr node(udev_device_new_from_devnum(context.get(), 'c', deviceNumber));
    if (!node) {
        return 0;
    }
    // Owned by the node.
    udev_device* usb =
        udev_device_get_parent_with_subsystem_devtype(node.get(), "usb", "usb_device");
    const char* release =
        usb != nullptr ? udev_device_get_sysattr_value(usb, "bcdDevice") : nullptr;
    if (release == nullptr) {
        return 0;
    }
    const std::string_view text(release);
    std::uint16_t value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value, 16);
    return error == std::errc{} ? value : 0;
}

std::vector<HidrawNode> EnumerateHidrawNodes(udev& context) {
    std::vector<HidrawNode> nodes;
    const UdevEnumeratePtr enumerate(udev_enumerate_new(&context));
    if (!enumerate || udev_enumerate_add_match_subsystem(enumerate.get(), "hidraw") < 0 ||
        udev_enumerate_scan_devices(enumerate.get()) < 0) {
        return nodes;
    }
    udev_list_entry* entry = nullptr;
    udev_list_entry_foreach(entry, udev_enumerate_get_list_entry(enumerate.get())) {
        const UdevDevicePtr device(
            udev_device_new_from_syspath(&context, udev_list_entry_get_name(entry)));
        if (!device) {
            continue;
        }
        const char* name = udev_device_get_sysname(device.get());
        if (name == nullptr || !IsHidrawNodeName(name)) {
            continue;
        }
        nodes.push_back(HidrawNode{name, HidIdOfNode(*device).value_or(HidId{})});
    }
    return nodes;
}

}  // namespace tolvane::hidraw
