// The HID bus on the Windows HID class driver and SetupAPI, one call per entry.
#pragma once

#include "hid_bus.h"

namespace tolvane {

class Win32HidBus final : public HidBus {
public:
    std::unique_ptr<HidInterfaceList> listInterfaces() override;
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;
    void waitNoPendingInstallEvents(std::uint32_t timeoutMs) override;
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                    SysError& error) override;
    // The USB device node's location path above the interface (see usb_port_lookup.h).
    SysError portOf(std::u16string_view path, std::string& port) override;
    SysError deviceNodeOf(std::u16string_view path, std::string& node) override;
};

}  // namespace tolvane
