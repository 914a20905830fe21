// The filter with which the hidden window registers for HID interface notifications.
#pragma once

#include "win32_api.h"

namespace tolvane::win32 {

// GUID_DEVINTERFACE_HID, {4D1E55B2-F16F-11CF-88CB-001111000030}.
inline constexpr GUID kGuidDevInterfaceHid = {
    0x4D1E55B2, 0xF16F, 0x11CF, {0x88, 0xCB, 0x00, 0x11, 0x11, 0x00, 0x00, 0x30}};

// A DEV_BROADCAST_DEVICEINTERFACE_W of 32 bytes for device interfaces of the HID class, with an
// empty name.
DEV_BROADCAST_DEVICEINTERFACE_W HidNotificationFilter() noexcept;

}  // namespace tolvane::win32
