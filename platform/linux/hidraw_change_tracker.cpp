#include "hidraw_change_tracker.h"

#include "hidraw_path.h"
#include "system_services.h"

namespace tolvane::hidraw {

void HidrawChangeTracker::remember(const HidrawNode& node) {
    known_.insert_or_assign(node.name,
                            InterfacePathFor(node.id.vendorId, node.id.productId, node.name));
}

std::optional<InterfaceChange> HidrawChangeTracker::onEvent(std::string_view action,
                                                            std::string_view nodeName,
                                                            std::optional<HidId> id) {
    if (!IsHidrawNodeName(nodeName)) {
        return std::nullopt;
    }
    if (action == "add") {
        const HidId known = id.value_or(HidId{});
        std::u16string path = InterfacePathFor(known.vendorId, known.productId, nodeName);
        known_.insert_or_assign(std::string(nodeName), path);
        return InterfaceChange{kDeviceArrival, std::move(path)};
    }
    if (action == "remove") {
        const auto found = known_.find(nodeName);
        if (found == known_.end()) {
            return std::nullopt;
        }
        InterfaceChange change{kDeviceRemoveComplete, std::move(found->second)};
        known_.erase(found);
        return change;
    }
    return std::nullopt;
}

}  // namespace tolvane::hidraw
