#include "win32_hid_bus.h"

#include "notification_filter.h"
#include "system_services.h"
#include "usb_port_lookup.h"
#include "wide_text.h"
#include "win32_hid_device.h"
#include "win32_interface_list.h"
#include "win32_notification_registration.h"

#include <new>

namespace tolvane {

using win32::UniqueDeviceInfoList;
using win32::UniqueDeviceNotify;
using win32::UniqueFileHandle;

std::unique_ptr<HidInterfaceList> Win32HidBus::listInterfaces() {
    GUID hidClass{};
    HidD_GetHidGuid(&hidClass);
    UniqueDeviceInfoList list(
        SetupDiGetClassDevsW(&hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
    if (!list) {
        return nullptr;
    }
    try {
        return std::make_unique<win32::Win32InterfaceList>(std::move(list), hidClass);
    } catch (const std::bad_alloc&) {
        return nullptr;
    }
}

std::unique_ptr<HidDevice> Win32HidBus::open(std::u16string_view path, DeviceAccess access,
                                             SysError& error) {
    try {
        const std::wstring widePath = win32::ToWide(path);
        const DWORD rights = access == DeviceAccess::ReadWrite ? GENERIC_READ | GENERIC_WRITE : 0;
        UniqueFileHandle handle(CreateFileW(widePath.c_str(), rights,
                                            FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                            OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
        if (!handle) {
            error = GetLastError();
            return nullptr;
        }
        error = 0;
        return std::make_unique<win32::Win32HidDevice>(std::move(handle));
    } catch (const std::bad_alloc&) {
        error = ERROR_OUTOFMEMORY;
        return nullptr;
    }
}

void Win32HidBus::waitNoPendingInstallEvents(std::uint32_t timeoutMs) {
    CMP_WaitNoPendingInstallEvents(timeoutMs);
}

std::unique_ptr<NotificationRegistration> Win32HidBus::registerNotifications(NotifyWindow& window,
                                                                             SysError& error) {
    DEV_BROADCAST_DEVICEINTERFACE_W filter = win32::HidNotificationFilter();
    UniqueDeviceNotify registration(RegisterDeviceNotificationW(
        static_cast<HWND>(window.nativeHandle()), &filter, DEVICE_NOTIFY_WINDOW_HANDLE));
    if (!registration) {
        error = GetLastError();
        return nullptr;
    }
    try {
        error = 0;
        return std::make_unique<win32::Win32NotificationRegistration>(std::move(registration));
    } catch (const std::bad_alloc&) {
        error = ERROR_OUTOFMEMORY;
        return nullptr;
    }
}

SysError Win32HidBus::portOf(std::u16string_view path, std::string& port) {
    return win32::UsbPortOfInterface(path, port);
}

SysError Win32HidBus::deviceNodeOf(std::u16string_view path, std::string& node) {
    return win32::DeviceInstanceOfInterface(path, node);
}

}  // namespace tolvane
