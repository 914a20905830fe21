// Interface paths of hidraw nodes in the form the engine's prefix checks read:
// "\\?\HID#VID_5C3B&PID_030B#hidraw3", vendor and product as four upper-case hex digits, then the
// node's name; the path leads back to "/dev/hidraw3". A node whose report descriptor holds several
// top-level collections shows one interface per collection, as Windows does, each path ending in
// "&COLnn" (nn from 01): "\\?\HID#VID_5C3B&PID_0325#hidraw3&COL02".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane::hidraw {

// Whether `name` is "hidraw" followed by one or more decimal digits.
bool IsHidrawNodeName(std::string_view name);

// `collection` 0 makes the path of a node with one collection (no suffix); 1 and above the path
// of that top-level collection.
std::u16string InterfacePathFor(std::uint16_t vendorId, std::uint16_t productId,
                                std::string_view nodeName, std::uint32_t collection = 0);

struct InterfaceLocation {
    std::string nodeName;          // "hidraw3"
    std::uint32_t collection = 0;  // 0: no suffix; else the collection's number from 1
};

// The node and collection at the end of an interface path, or nothing when the path does not
// begin with "\\?\HID#" (any case) or does not end in "#", a hidraw node name and, optionally,
// "&COL" (any case) with a decimal number from 1 to 255.
std::optional<InterfaceLocation> LocationFromInterfacePath(std::u16string_view path);

// The node name alone, as LocationFromInterfacePath reads it.
std::optional<std::string> NodeNameFromInterfacePath(std::u16string_view path);

// "/dev/" and the node name.
std::string DeviceNodeFor(std::string_view nodeName);

}  // namespace tolvane::hidraw
