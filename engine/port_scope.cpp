#include "port_scope.h"

#include "text.h"

#include <algorithm>

namespace tolvane {

namespace {

std::u16string Folded(std::u16string_view path) {
    std::u16string folded(path);
    std::transform(folded.begin(), folded.end(), folded.begin(), AsciiLower<char16_t>);
    return folded;
}

}  // namespace

bool PortAdmits(const std::optional<std::string>& wanted, std::string_view port) {
    return !wanted || port == *wanted;
}

bool PortAdmits(HidBus& bus, std::u16string_view path, const std::optional<std::string>& wanted) {
    if (!wanted) return true;
    std::string port;
    return bus.portOf(path, port) == 0 && PortAdmits(wanted, port);
}

void PortScope::confineTo(std::string port) {
    const std::lock_guard lock(mutex_);
    port_ = std::move(port);
    seen_.clear();
}

std::optional<std::string> PortScope::port() const {
    const std::lock_guard lock(mutex_);
    return port_;
}

bool PortScope::seenLocked(std::u16string_view path) const {
    return std::find(seen_.begin(), seen_.end(), Folded(path)) != seen_.end();
}

bool PortScope::admits(HidBus& bus, std::u16string_view path) {
    const std::optional<std::string> wanted = port();
    if (!wanted) return true;
    // Asked without the lock: the bus may take its own.
    if (!PortAdmits(bus, path, wanted)) return false;
    const std::lock_guard lock(mutex_);
    if (!seenLocked(path)) seen_.push_back(Folded(path));
    return true;
}

bool PortScope::admitsChange(HidBus& bus, const DeviceChangeMessage& message) {
    if (!port()) return true;
    if (message.deviceType != kDevTypeDeviceInterface) return true;
    if (message.eventType == kDeviceArrival) return admits(bus, message.name);
    if (message.eventType == kDeviceRemoveComplete) {
        const std::lock_guard lock(mutex_);
        return seenLocked(message.name);
    }
    return true;
}

}  // namespace tolvane
