// The decorators the tool stacks on the HID bus, in their one order from the bottom: the lock
// against other tool processes, the tracking of writes, the pin to the first device written to,
// and the report log. Each is put on top of those before it, at most once; the stack owns them and
// takes them down top first.
#pragma once

#include "buses/locking_hid_bus.h"
#include "buses/logging_hid_bus.h"
#include "buses/port_pinned_bus.h"
#include "buses/tracking_hid_bus.h"
#include "hid_bus.h"
#include "output/report_log.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <ostream>
#include <string>

namespace tolvane::cli {

class BusStack {
public:
    explicit BusStack(HidBus& base) : top_(&base) {}
    BusStack(const BusStack&) = delete;
    BusStack& operator=(const BusStack&) = delete;

    // The bus with every layer put on so far.
    HidBus& top() { return *top_; }

    // A real device is locked against other tool processes for the whole run, by its node and by
    // its port through `takePort` (when not empty).
    const LockingHidBus& lock(LockingHidBus::Taker takePort);
    // Tells of the first write to any device, and of the first write to each port.
    TrackingHidBus& track(std::function<void()> onWrite,
                          std::function<void(const std::string& port)> onWriteAt);
    // A single-device command stays with the first device it writes to.
    void pinToFirstDevice();
    // Every report in hex with its time, and what the system said about a failed call.
    void log(std::ostream& out, std::function<std::uint64_t()> clock,
             std::function<std::string()> nativeDetail);

    // The lock layer, when there is one.
    const LockingHidBus* locking() const { return locking_ ? &*locking_ : nullptr; }

private:
    HidBus* top_;
    // In stacking order: destroyed in reverse, so no layer outlives the one below it.
    std::optional<LockingHidBus> locking_;
    std::optional<TrackingHidBus> tracking_;
    std::optional<PortPinnedBus> pinned_;
    std::optional<ReportLog> reportLog_;
    std::optional<LoggingHidBus> logging_;
};

}  // namespace tolvane::cli
