#include "tracking_hid_bus.h"

#include <utility>

namespace tolvane::cli {
namespace {

class TrackingHidDevice final : public HidDevice {
public:
    TrackingHidDevice(std::unique_ptr<HidDevice> inner, std::function<void()> onWrite)
        : inner_(std::move(inner)), onWrite_(std::move(onWrite)) {}
    TrackingHidDevice(std::unique_ptr<HidDevice> inner, const std::function<void()>& onWrite,
                      const std::function<void(const std::string&)>& onWriteAt, std::string port)
        : inner_(std::move(inner)), onWrite_([onWrite, onWriteAt, port = std::move(port)] {
              if (onWrite) onWrite();
              onWriteAt(port);
          }) {}

    SysError getAttributes(HidAttributes& attributes) override {
        return inner_->getAttributes(attributes);
    }
    SysError getCapabilities(HidCapabilities& caps) override {
        return inner_->getCapabilities(caps);
    }
    SysError setFeature(std::span<const std::uint8_t> report) override {
        if (onWrite_) onWrite_();
        return inner_->setFeature(report);
    }
    SysError getFeature(std::span<std::uint8_t> report) override {
        return inner_->getFeature(report);
    }
    SysError writeOutput(std::span<const std::uint8_t> report) override {
        if (onWrite_) onWrite_();
        return inner_->writeOutput(report);
    }
    SysError getSerialNumber(std::u16string& serial) override {
        return inner_->getSerialNumber(serial);
    }

private:
    std::unique_ptr<HidDevice> inner_;
    std::function<void()> onWrite_;
};

}  // namespace

std::unique_ptr<HidInterfaceList> TrackingHidBus::listInterfaces() {
    return inner_.listInterfaces();
}

std::unique_ptr<HidDevice> TrackingHidBus::open(std::u16string_view path, DeviceAccess access,
                                                SysError& error) {
    auto device = inner_.open(path, access, error);
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
        if (inner_.portOf(path, port) != 0) port.clear();
        return std::make_unique<TrackingHidDevice>(std::move(device), onWrite_, onWriteAt_,
                                                   std::move(port));
    }
    return std::make_unique<TrackingHidDevice>(std::move(device), onWrite_);
}

void TrackingHidBus::waitNoPendingInstallEvents(std::uint32_t timeoutMs) {
    inner_.waitNoPendingInstallEvents(timeoutMs);
}

std::unique_ptr<NotificationRegistration> TrackingHidBus::registerNotifications(
    NotifyWindow& window, SysError& error) {
    return inner_.registerNotifications(window, error);
}

SysError TrackingHidBus::portOf(std::u16string_view path, std::string& port) {
    return inner_.portOf(path, port);
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
