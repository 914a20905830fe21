// Turns hidraw nodes coming and going into interface arrivals and removals. A removed node can no
// longer be asked for its HID device, so the paths of every node announced are remembered until
// it is removed. A node is known by its HID device's name as well as its own, since a node number
// can pass to another device between two looks when events were lost.
#pragma once

#include "hidraw_sysfs.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <string_view>
#include <vector>

namespace tolvane::hidraw {

struct InterfaceChange {
    std::uint32_t eventType = 0;  // kDeviceArrival or kDeviceRemoveComplete
    std::u16string path;
};

class HidrawChangeTracker {
public:
    // A node that was present before watching began; one of unknown identity is not remembered.
    void remember(const HidrawNode& node);
    // An "add": the arrival of each of the node's interfaces, after the removal of a different
    // device known under the same name (its removal was missed). Nothing for a node of unknown
    // identity, which is never remembered as 0000:0000, nor for one already announced.
    std::vector<InterfaceChange> arrived(const HidrawNode& node);
    // A "remove": the removal of each interface remembered for the node. For a node never
    // announced, `asSeen` (what the event itself tells) stands in when its identity is known.
    std::vector<InterfaceChange> removed(std::string_view nodeName, const HidrawNode& asSeen);
    // After events were lost: compares what is known with the nodes present now, and answers the
    // removals of what went or changed, then the arrivals of what came or changed.
    std::vector<InterfaceChange> reconcile(const std::vector<HidrawNode>& present);
    // Whether the node is remembered.
    bool knows(std::string_view nodeName) const { return known_.contains(nodeName); }

private:
    struct Known {
        std::string hidDevice;
        std::vector<std::u16string> paths;
    };
    static std::vector<InterfaceChange> Removals(Known known);
    std::vector<InterfaceChange> announce(const HidrawNode& node);

    std::map<std::string, Known, std::less<>> known_;
};

}  // namespace tolvane::hidraw
