// Where on the USB a HID interface's device is plugged in, read from the configuration manager:
// the interface's device instance, then its parents up to the USB device node, whose location
// path (or location information) stays the same while the device re-enumerates under another
// identity on the same port. Also the interface's device instance itself, which names the device
// for the lock between tool processes.
#pragma once

#include "hid_bus.h"

#include <string>
#include <string_view>

namespace tolvane::win32 {

// Whether a device instance identifier names a USB device node ("USB\VID_xxxx&PID_xxxx\...")
// rather than one interface of a composite device ("...&MI_nn\...") or another bus's node.
bool IsUsbDeviceNodeId(std::wstring_view instanceId) noexcept;

// The port of the USB device above the interface at `path`; empty with 0 when no USB device is
// above it (a virtual device). The system's error when the interface cannot be looked up.
SysError UsbPortOfInterface(std::u16string_view path, std::string& port);

// Whether a device instance identifier names one of several top-level collections of a HID device
// ("HID\VID_xxxx&PID_xxxx&COLnn\...").
bool IsHidCollectionNodeId(std::wstring_view instanceId) noexcept;

// The device instance identifier of the interface at `path`
// ("HID\VID_5C3B&PID_0326\7&1A2B&0&0000"), in UTF-8, the same for every collection of one device:
// a collection's is its parent's ("USB\VID_5C3B&PID_0326\SERIAL"). ERROR_FILE_NOT_FOUND when no
// such interface is present.
SysError DeviceInstanceOfInterface(std::u16string_view path, std::string& instance);

}  // namespace tolvane::win32
