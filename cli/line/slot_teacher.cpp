#include "line/slot_teacher.h"

#include "line/all_devices_run.h"
#include "line/arrival_listener.h"

#include <algorithm>
#include <set>

namespace tolvane::cli {
TaughtSlots TeachSlots(HidBus& bus, SystemServices& services, std::uint16_t vid, std::uint16_t pid,
                       std::uint32_t count, const InterruptGuard& guard,
                       const std::function<void(const std::string&, std::size_t)>& named) {
    TaughtSlots taught;
    SysError error = 0;
    auto wake = services.createEvent(error);
    if (!wake) {
        taught.error = error != 0 ? error : kErrorGenFailure;
        return taught;
    }
    const InterruptWake interruptWake(guard, [&wake] { wake->signal(); });
    ArrivalListener listener(bus, services, [&wake] { wake->signal(); });
    if (const SysError started = listener.start(); started != 0) {
        taught.error = started;
        return taught;
    }
    std::set<std::string> seen;
    bool first = true;
    while (taught.ports.size() < count && !guard.interrupted()) {
        const PortedDevices found = FindPortedDevices(bus, vid, pid);
        for (const PortedDevice& device : found.devices) {
            if (device.port.empty() || seen.contains(device.port)) continue;
            seen.insert(device.port);
            if (first) {
                ++taught.presentAtStart;
                continue;
            }
            if (std::ranges::find(taught.ports, device.port) != taught.ports.end()) continue;
            taught.ports.push_back(device.port);
            if (named) named(device.port, taught.ports.size());
            if (taught.ports.size() == count) break;
        }
        // A port whose device has gone may be taken again by the next unit plugged into it.
        std::erase_if(seen, [&](const std::string& port) {
            return std::ranges::none_of(found.devices,
                                        [&](const PortedDevice& d) { return d.port == port; });
        });
        first = false;
        // Arrivals, removals and interrupts wake it.
        if (taught.ports.size() < count) wake->wait(kInfinite);
    }
    taught.interrupted = taught.ports.size() < count;
    listener.stop();
    return taught;
}

}  // namespace tolvane::cli
