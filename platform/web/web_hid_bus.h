// The HID bus over WebHID (navigator.hid): the devices the page was given permission for, their
// top-level collections as interfaces, their arrivals and removals as notifications.
//
// What WebHID does not tell, the bus says it cannot tell: no release number (0), no serial
// number and no port (kErrorInvalidFunction). Device installation is the browser's business:
// waitNoPendingInstallEvents returns at once.
#pragma once

#include "hid_bus.h"
#include "web_event_loop.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace tolvane::web {

class WebHidBus final : public HidBus, private LoopSource {
public:
    WebHidBus();
    ~WebHidBus() override;
    WebHidBus(const WebHidBus&) = delete;
    WebHidBus& operator=(const WebHidBus&) = delete;

    // Whether the browser has WebHID; without it the bus lists nothing.
    bool available() const { return available_; }

    std::unique_ptr<HidInterfaceList> listInterfaces() override;
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;
    void waitNoPendingInstallEvents(std::uint32_t timeoutMs) override;
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                    SysError& error) override;
    SysError portOf(std::u16string_view path, std::string& port) override;

    // Used by the registrations.
    void stopNotifying(NotifyWindow& window);

private:
    std::optional<std::uint64_t> nextDueMs() override { return std::nullopt; }
    // Hands the arrivals and removals that JavaScript queued to the registered windows.
    void runDue() override;

    bool available_ = false;
    std::vector<NotifyWindow*> windows_;
};

}  // namespace tolvane::web
