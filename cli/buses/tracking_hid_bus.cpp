#include "buses/tracking_hid_bus.h"

#include <utility>

namespace tolvane::cli {
namespace {

class TrackingHidDevice final : public ForwardingHidDevice {
public:
    TrackingHidDevice(std::unique_ptr<HidDevice> inner, std::function<void()> onWrite)
        : ForwardingHidDevice(std::move(inner)), onWrite_(std::move(onWrite)) {}
    TrackingHidDevice(std::unique_ptr<HidDevice> inner, const std::function<void()>& onWrite,
                      const std::function<void(const std::string&)>& onWriteAt, std::string port)
        : ForwardingHidDevice(std::move(inner)),
          onWrite_([onWrite, onWriteAt, port = std::move(port)] {
              if (onWrite) onWrite();
              onWriteAt(port);
          }) {}

    SysError setFeature(std::span<const std::uint8_t> report) override {
        if (onWrite_) onWrite_();
        return inner().setFeature(report);
    }
    SysError writeOutput(std::span<const std::uint8_t> report) override {
        if (onWrite_) onWrite_();
        return inner().writeOutput(report);
    }

private:
    std::function<void()> onWrite_;
};

}  // namespace

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
    if (onWriteAt_) {
        std::string port;
        if (inner().portOf(path, port) != 0) port.clear();
        return std::make_unique<TrackingHidDevice>(std::move(device), onWrite_, onWriteAt_,
                                                   std::move(port));
    }
    return std::make_unique<TrackingHidDevice>(std::move(device), onWrite_);
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
