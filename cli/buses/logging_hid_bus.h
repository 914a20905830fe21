// A HID bus that forwards every call to another bus and logs it: the opens with their paths, and
// every report sent or received in hexadecimal. Listings, which searches make often, pass unlogged:
// the opens that follow are what is worth reading. It knows nothing of what the bytes mean.
#pragma once

#include "forwarding_hid_bus.h"
#include "output/report_log.h"

#include <atomic>
#include <functional>
#include <string>

namespace tolvane::cli {

class LoggingHidBus final : public ForwardingHidBus {
public:
    // `nativeDetail` tells, on the calling thread, what the system said about the last failed
    // call beyond its error number (may be empty).
    LoggingHidBus(HidBus& inner, ReportLog& log, std::function<std::string()> nativeDetail = {})
        : ForwardingHidBus(inner), log_(log), nativeDetail_(std::move(nativeDetail)) {}

    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;
    void waitNoPendingInstallEvents(std::uint32_t timeoutMs) override;
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                    SysError& error) override;
    SysError portOf(std::u16string_view path, std::string& port) override;

private:
    ReportLog& log_;
    std::function<std::string()> nativeDetail_;
    std::atomic<int> opened_{0};
};

}  // namespace tolvane::cli
