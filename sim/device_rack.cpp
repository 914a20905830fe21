#include "device_rack.h"

#include <string>

namespace tolvane::sim {

std::vector<SimDevice*> AddRack(SimBus& bus, const DeviceSpec& healthy, const DeviceSpec& faulty,
                                const RackOptions& options) {
    std::vector<SimDevice*> devices;
    devices.reserve(options.count);
    for (std::uint32_t number = 1; number <= options.count; ++number) {
        const bool isFaulty = options.faultyDevice == 0 || options.faultyDevice == number;
        DeviceSpec config = isFaulty ? faulty : healthy;
        config.port = "1-" + std::to_string(number);
        config.serial.clear();
        config.appearAfterMs = options.arrivalIntervalMs * number;
        devices.push_back(&bus.addDevice(std::move(config)));
    }
    return devices;
}

}  // namespace tolvane::sim
