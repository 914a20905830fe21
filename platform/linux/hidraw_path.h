// Interface paths of hidraw nodes in the form the engine's prefix checks read:
// "\\?\HID#VID_5C3B&PID_030B#hidraw3", vendor and product as four upper-case hex digits, then the
// node's name; the path leads back to "/dev/hidraw3".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane::hidraw {

// Whether `name` is "hidraw" followed by one or more decimal digits.
bool IsHidrawNodeName(std::string_view name);

std::u16string InterfacePathFor(std::uint16_t vendorId, std::uint16_t productId,
                                std::string_view nodeName);

// The node name at the end of an interface path, or nothing when the path does not begin with
// "\\?\HID#" (any case) or does not end in "#" and a hidraw node name.
std::optional<std::string> NodeNameFromInterfacePath(std::u16string_view path);

// "/dev/" and the node name.
std::string DeviceNodeFor(std::string_view nodeName);

}  // namespace tolvane::hidraw
