#include "update/device_steps.h"

#include "port_order.h"

#include <algorithm>

namespace tolvane::cli {

DeviceStep& DeviceSteps::entry(const std::string& port) {
    DeviceStep& device = devices_[port];
    device.port = port;
    return device;
}

void DeviceSteps::enter(const std::string& port, RunStep step) {
    const std::lock_guard lock(mutex_);
    entry(port).step = step;
}

// Only for a device whose engine has started: other writes are a single device's.
void DeviceSteps::written(const std::string& port) {
    const std::lock_guard lock(mutex_);
    if (auto found = devices_.find(port); found != devices_.end()) found->second.written = true;
}

void DeviceSteps::sent(const std::string& port, std::uint64_t bytes) {
    const std::lock_guard lock(mutex_);
    entry(port).bytesSent = bytes;
}

std::vector<DeviceStep> DeviceSteps::snapshot() const {
    std::vector<DeviceStep> devices;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& [port, device] : devices_) devices.push_back(device);
    }
    std::ranges::sort(
        devices, [](const DeviceStep& a, const DeviceStep& b) { return PortLess(a.port, b.port); });
    return devices;
}

}  // namespace tolvane::cli
