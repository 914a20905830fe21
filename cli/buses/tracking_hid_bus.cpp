#include "buses/tracking_hid_bus.h"

#include <utility>
#include <vector>

namespace tolvane::cli {

// Tells its bus of each report before it is written, with the port of its device.
class TrackedDevice final : public ForwardingHidDevice {
public:
    TrackedDevice(std::unique_ptr<HidDevice> inner, TrackingHidBus& bus, std::string port)
        : ForwardingHidDevice(std::move(inner)), bus_(bus), port_(std::move(port)) {}

    SysError setFeature(std::span<const std::uint8_t> report) override {
        bus_.written(port_);
        return inner().setFeature(report);
    }
    SysError writeOutput(std::span<const std::uint8_t> report) override {
        bus_.written(port_);
        return inner().writeOutput(report);
    }

private:
    TrackingHidBus& bus_;
    std::string port_;
};

TrackingHidBus::Hearing::~Hearing() {
    const std::lock_guard lock(bus_->mutex_);
    bus_->listeners_.erase(entry_);
}

std::unique_ptr<TrackingHidBus::Hearing> TrackingHidBus::hear(std::string port,
                                                              std::function<void()> onWrite) {
    const std::lock_guard lock(mutex_);
    listeners_.push_front(
        std::make_shared<Listener>(Listener{std::move(port), std::move(onWrite)}));
    return std::make_unique<Hearing>(*this, listeners_.begin());
}

void TrackingHidBus::written(const std::string& port) {
    if (onWrite_) onWrite_();
    if (onWriteAt_) onWriteAt_(port);
    // Called outside the lock: a listener may read a clock that waits for other threads.
    std::vector<std::shared_ptr<Listener>> hearing;
    {
        const std::lock_guard lock(mutex_);
        for (const auto& listener : listeners_) {
            if (listener->port.empty() || listener->port == port) hearing.push_back(listener);
        }
    }
    for (const auto& listener : hearing) listener->onWrite();
}

std::unique_ptr<HidDevice> TrackingHidBus::open(std::u16string_view path, DeviceAccess access,
                                                SysError& error) {
    auto device = inner().open(path, access, error);
    {
        const std::lock_guard lock(mutex_);
        auto found = paths_.find(path);
        if (found == paths_.end()) found = paths_.emplace(std::u16string(path), PathRecord{}).first;
        PathRecord& record = found->second;
        const bool readWrite = access == DeviceAccess::ReadWrite;
        if (device) {
            (readWrite ? record.readWrite : record.query) = true;
        } else {
            (readWrite ? record.readWriteError : record.queryError) =
                error != 0 ? error : kErrorGenFailure;
        }
    }
    if (!device) return device;
    // The port is asked only of a bus whose writes are told by port: a run that tells only the
    // first write asks nothing more of its bus than before.
    std::string port;
    if (onWriteAt_ && inner().portOf(path, port) != 0) port.clear();
    return std::make_unique<TrackedDevice>(std::move(device), *this, std::move(port));
}

OpenFailures TrackingHidBus::openFailures() const {
    const std::lock_guard lock(mutex_);
    OpenFailures failures;
    for (const auto& [path, record] : paths_) {
        if (record.readWrite) continue;
        if (record.query && record.readWriteError != 0) {
            ++failures.queryOnly[record.readWriteError];
        } else if (!record.query) {
            ++failures
                  .unopened[record.readWriteError != 0 ? record.readWriteError : record.queryError];
        }
    }
    return failures;
}

}  // namespace tolvane::cli
