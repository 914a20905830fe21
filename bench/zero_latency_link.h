// A boot loader on a link that costs nothing: every report is taken at once and the finish query
// answers the right checksum. What a download costs over it is the engine's own cost.
#pragma once

#include "hid_bus.h"
#include "system_services.h"

#include <cstdint>

namespace tolvane::bench {

class ZeroLatencyBus final : public HidBus {
public:
    explicit ZeroLatencyBus(std::uint16_t featureReportLength)
        : featureReportLength_(featureReportLength) {}

    std::unique_ptr<HidInterfaceList> listInterfaces() override;
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;
    void waitNoPendingInstallEvents(std::uint32_t) override {}
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow&,
                                                                    SysError& error) override {
        error = kErrorInvalidFunction;
        return nullptr;
    }

    std::uint64_t reportsTaken() const { return reportsTaken_; }

private:
    friend class ZeroLatencyBootLoader;
    std::uint16_t featureReportLength_;
    std::uint64_t reportsTaken_ = 0;
    std::uint32_t bytesLeft_ = 0;
    std::uint32_t sum_ = 0;
};

// Sleeps cost nothing; they are only added up.
class ZeroLatencyServices final : public SystemServices {
public:
    std::unique_ptr<AutoResetEvent> createEvent(SysError& error) override {
        error = kErrorInvalidFunction;
        return nullptr;
    }
    void sleep(std::uint32_t ms) override { sleptMs_ += ms; }
    std::uint64_t nowMs() override { return sleptMs_; }
    std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec&, DeviceChangeHandler&,
                                                     SysError& error) override {
        error = kErrorInvalidFunction;
        return nullptr;
    }
    void showMessageBox(std::u16string_view, std::u16string_view) override {}
    void dispatchMessages(std::uint32_t) override {}

    std::uint64_t sleptMs() const { return sleptMs_; }

private:
    std::uint64_t sleptMs_ = 0;
};

}  // namespace tolvane::bench
