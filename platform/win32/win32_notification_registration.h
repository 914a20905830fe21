// A window's registration for HID interface arrival and removal notifications.
#pragma once

#include "hid_bus.h"
#include "win32_error.h"
#include "win32_handles.h"

namespace tolvane::win32 {

class Win32NotificationRegistration final : public NotificationRegistration {
public:
    explicit Win32NotificationRegistration(UniqueDeviceNotify registration) noexcept
        : registration_(std::move(registration)) {}

    SysError unregister() override {
        if (!registration_) {
            return 0;
        }
        if (!UnregisterDeviceNotification(registration_.release())) {
            return LastFailure();
        }
        return 0;
    }

private:
    UniqueDeviceNotify registration_;
};

}  // namespace tolvane::win32
