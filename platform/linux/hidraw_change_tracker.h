// Turns udev's hidraw events into interface arrivals and removals. A removed node can no longer be
// asked for its HID device, so the path of every node seen is remembered until it is removed.
#pragma once

#include "hid_id.h"
#include "udev_hidraw.h"

#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane::hidraw {

struct InterfaceChange {
    std::uint32_t eventType = 0;  // kDeviceArrival or kDeviceRemoveComplete
    std::u16string path;
};

class HidrawChangeTracker {
public:
    // A node that was present before watching began.
    void remember(const HidrawNode& node);
    // "add" answers an arrival (identifiers 0 when `id` is unknown) and remembers the path;
    // "remove" answers the removal of a remembered node and forgets it; anything else, a node
    // never seen and a name that is not a hidraw node's answer nothing.
    std::optional<InterfaceChange> onEvent(std::string_view action, std::string_view nodeName,
                                           std::optional<HidId> id);

private:
    std::map<std::string, std::u16string, std::less<>> known_;
};

}  // namespace tolvane::hidraw
