// Interface paths of WebHID devices, in the form the engine knows from Windows
// ("\\?\HID#VID_5C3B&PID_030B#web7"), so that the boot loader's path prefixes hold. Each
// HIDDevice (each arrival) has its own number; a device with several top-level collections has
// one path for each ("...#web7&col02"), as Windows has one interface for each.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane::web {

struct WebInterfaceId {
    std::uint32_t number = 0;      // the HIDDevice's
    std::uint32_t collection = 0;  // 0-based
};

std::u16string WebInterfacePath(std::uint16_t vendorId, std::uint16_t productId, WebInterfaceId id,
                                std::uint32_t collections);
// The number and collection a path names (without regard to case); none for a path of another
// form. The caller checks that the path is the device's own (WebInterfacePath again).
std::optional<WebInterfaceId> ParseWebInterfacePath(std::u16string_view path);

}  // namespace tolvane::web
