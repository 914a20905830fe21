// A HID bus that forwards every call to another bus and logs it: the opens with their paths, and
// every report sent or received in hexadecimal. It knows nothing of what the bytes mean.
#pragma once

#include "hid_bus.h"
#include "report_log.h"

#include <atomic>

namespace tolvane::cli {

class LoggingHidBus final : public HidBus {
public:
    LoggingHidBus(HidBus& inner, ReportLog& log) noexcept : inner_(inner), log_(log) {}

    std::unique_ptr<HidInterfaceList> listInterfaces() override;
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;
    void waitNoPendingInstallEvents(std::uint32_t timeoutMs) override;
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                    SysError& error) override;
    // Forwarded without a log line: the searches of a scoped engine ask it for every interface.
    SysError portOf(std::u16string_view path, std::string& port) override;

private:
    HidBus& inner_;
    ReportLog& log_;
    std::atomic<int> opened_{0};
};

}  // namespace tolvane::cli
