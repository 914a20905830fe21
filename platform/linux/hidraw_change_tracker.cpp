#include "hidraw_change_tracker.h"

#include "hidraw_path.h"
#include "system_services.h"

namespace tolvane::hidraw {
namespace {

bool SameDevice(const std::string& knownHidDevice, const HidrawNode& node) {
    return !knownHidDevice.empty() && knownHidDevice == node.hidDevice;
}

}  // namespace

void HidrawChangeTracker::remember(const HidrawNode& node) {
    if (!IsHidrawNodeName(node.name) || !node.id) {
        return;
    }
    known_.insert_or_assign(node.name, Known{node.hidDevice, InterfacePathsOf(node)});
}

std::vector<InterfaceChange> HidrawChangeTracker::Removals(Known known) {
    std::vector<InterfaceChange> changes;
    for (std::u16string& path : known.paths) {
        changes.push_back(InterfaceChange{kDeviceRemoveComplete, std::move(path)});
    }
    return changes;
}

std::vector<InterfaceChange> HidrawChangeTracker::announce(const HidrawNode& node) {
    std::vector<InterfaceChange> changes;
    std::vector<std::u16string> paths = InterfacePathsOf(node);
    for (const std::u16string& path : paths) {
        changes.push_back(InterfaceChange{kDeviceArrival, path});
    }
    known_.insert_or_assign(node.name, Known{node.hidDevice, std::move(paths)});
    return changes;
}

std::vector<InterfaceChange> HidrawChangeTracker::arrived(const HidrawNode& node) {
    if (!IsHidrawNodeName(node.name) || !node.id) {
        return {};
    }
    std::vector<InterfaceChange> changes;
    if (const auto found = known_.find(node.name); found != known_.end()) {
        if (SameDevice(found->second.hidDevice, node)) {
            return {};
        }
        changes = Removals(std::move(found->second));
        known_.erase(found);
    }
    for (InterfaceChange& change : announce(node)) {
        changes.push_back(std::move(change));
    }
    return changes;
}

std::vector<InterfaceChange> HidrawChangeTracker::removed(std::string_view nodeName,
                                                          const HidrawNode& asSeen) {
    if (!IsHidrawNodeName(nodeName)) {
        return {};
    }
    if (const auto found = known_.find(nodeName); found != known_.end()) {
        auto changes = Removals(std::move(found->second));
        known_.erase(found);
        return changes;
    }
    if (!asSeen.id) {
        return {};
    }
    return Removals(Known{asSeen.hidDevice, InterfacePathsOf(asSeen)});
}

std::vector<InterfaceChange> HidrawChangeTracker::reconcile(
    const std::vector<HidrawNode>& present) {
    std::map<std::string_view, const HidrawNode*> now;
    for (const HidrawNode& node : present) {
        now.emplace(node.name, &node);
    }
    std::vector<InterfaceChange> changes;
    for (auto it = known_.begin(); it != known_.end();) {
        const auto current = now.find(it->first);
        const bool unchanged = current != now.end() && current->second->id &&
                               it->second.hidDevice == current->second->hidDevice &&
                               InterfacePathsOf(*current->second) == it->second.paths;
        if (unchanged) {
            ++it;
            continue;
        }
        for (InterfaceChange& change : Removals(std::move(it->second))) {
            changes.push_back(std::move(change));
        }
        it = known_.erase(it);
    }
    for (const HidrawNode& node : present) {
        if (node.id && !known_.contains(node.name) && IsHidrawNodeName(node.name)) {
            for (InterfaceChange& change : announce(node)) {
                changes.push_back(std::move(change));
            }
        }
    }
    return changes;
}

}  // namespace tolvane::hidraw
