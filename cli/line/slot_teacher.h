// slots teach: names the ports of a station by the order in which a line engineer plugs one
// unit into each socket. Devices present when it starts are left out: only arrivals count.
#pragma once

#include "hid_bus.h"
#include "system/interrupt_guard.h"
#include "system_services.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tolvane::cli {

struct TaughtSlots {
    SysError error = 0;              // the arrivals could not be heard
    bool interrupted = false;        // an interrupt ended the wait
    std::size_t presentAtStart = 0;  // devices that were plugged in already (not named)
    std::vector<std::string> ports;  // in the order the devices arrived
};

// Waits until `count` new ports have shown a device matching `vid`:`pid` (or a boot loader);
// `named` is told of each as it comes, with its 1-based number.
TaughtSlots TeachSlots(
    HidBus& bus, SystemServices& services, std::uint16_t vid, std::uint16_t pid,
    std::uint32_t count, const InterruptGuard& guard,
    const std::function<void(const std::string& port, std::size_t number)>& named);

}  // namespace tolvane::cli
