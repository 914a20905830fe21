// Several identical simulated devices on one bus, each on a port of its own, as on a production
// bench: one of them (or all) may carry a fault, and they may be plugged in one after another.
#pragma once

#include "device_spec.h"
#include "sim_bus.h"

#include <cstdint>
#include <vector>

namespace tolvane::sim {

struct RackOptions {
    std::uint32_t count = 1;
    // K > 0: only the K-th device (1-based, in port order) is built from the faulty spec; 0: all.
    std::uint32_t faultyDevice = 0;
    // MS > 0: the K-th device is plugged in K * MS after it was added; 0: all are there at once.
    std::uint32_t arrivalIntervalMs = 0;
};

// Adds `options.count` devices on ports "1-1", "1-2", ... in that order. A device gets the faulty
// spec when it is the faulty one, the healthy spec otherwise. Ports, serials and arrival times of
// the specs are replaced.
std::vector<SimDevice*> AddRack(SimBus& bus, const DeviceSpec& healthy, const DeviceSpec& faulty,
                                const RackOptions& options);

}  // namespace tolvane::sim
