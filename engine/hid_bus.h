// The HID bus seam: everything the engine asks of the operating system's HID class driver and
// device-setup services. A backend maps each entry one to one onto its platform and holds no
// protocol logic. Every fallible entry reports the system's error number of the call that failed
// (0 when it succeeded), read right after that call. An entry that returns SysError and failed
// without an error number answers kErrorGenFailure, so that a failure never reads as success.
#pragma once

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tolvane {

// A system error number; 0 means no error.
using SysError = std::uint32_t;

inline constexpr SysError kErrorInvalidFunction = 1;
inline constexpr SysError kErrorAccessDenied = 5;
inline constexpr SysError kErrorInvalidHandle = 6;
inline constexpr SysError kErrorOutOfMemory = 14;
inline constexpr SysError kErrorGenFailure = 31;
inline constexpr SysError kErrorInvalidParameter = 87;
inline constexpr SysError kErrorInsufficientBuffer = 122;
inline constexpr SysError kErrorOperationAborted = 995;  // a transfer cancelled at its time limit
inline constexpr SysError kErrorDeviceNotConnected = 1167;
inline constexpr SysError kErrorTimeout = 1460;  // a transfer the system ended at its time limit
inline constexpr SysError kErrorInvalidUserBuffer = 1784;

// Time-out value that waits without limit.
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

struct HidAttributes {
    std::uint16_t vendorId = 0;
    std::uint16_t productId = 0;
    std::uint16_t versionNumber = 0;
};

struct HidCapabilities {
    std::uint16_t inputReportByteLength = 0;
    std::uint16_t outputReportByteLength = 0;
    std::uint16_t featureReportByteLength = 0;
};

enum class DeviceAccess {
    ReadWrite,  // GENERIC_READ | GENERIC_WRITE
    None,       // no access rights: attributes and capabilities still work
};

// An open HID interface. Destruction closes it.
class HidDevice {
public:
    virtual ~HidDevice() = default;

    // HidD_GetAttributes.
    virtual SysError getAttributes(HidAttributes& attributes) = 0;
    // HidD_GetPreparsedData, HidP_GetCaps and HidD_FreePreparsedData as one step: the preparsed
    // data never outlives the call.
    virtual SysError getCapabilities(HidCapabilities& capabilities) = 0;
    // HidD_SetFeature. The buffer is the whole report, byte 0 the report identifier.
    virtual SysError setFeature(std::span<const std::uint8_t> report) = 0;
    // HidD_GetFeature. Byte 0 of the buffer holds the requested report identifier on entry; on
    // success the buffer holds the device's report.
    virtual SysError getFeature(std::span<std::uint8_t> report) = 0;
    // Synchronous WriteFile of one output report, byte 0 the report identifier.
    virtual SysError writeOutput(std::span<const std::uint8_t> report) = 0;
    // HidD_GetSerialNumberString (on Linux the HID `uniq` value): the device's serial number,
    // empty with 0 when the device has none. A backend that cannot tell answers
    // kErrorInvalidFunction.
    virtual SysError getSerialNumber(std::u16string& serial) {
        serial.clear();
        return kErrorInvalidFunction;
    }
};

enum class InterfaceLookup {
    Found,   // the interface exists and its path was read
    End,     // no interface at this index: the list is exhausted
    Failed,  // the interface exists but its detail record could not be read
};

// A snapshot of the HID interfaces of present devices, in enumeration order. Destruction
// destroys the list.
class HidInterfaceList {
public:
    virtual ~HidInterfaceList() = default;

    // SetupDiEnumDeviceInterfaces for `index`, then SetupDiGetDeviceInterfaceDetailW (size query,
    // a detail buffer of exactly that size, the record) into `path`. The detail buffer is released
    // before this returns.
    virtual InterfaceLookup interfacePath(std::uint32_t index, std::u16string& path) = 0;
};

class NotifyWindow;

// A registration of a window for HID interface arrival and removal notifications.
// Destruction unregisters it if unregister() was not called.
class NotificationRegistration {
public:
    virtual ~NotificationRegistration() = default;
    // UnregisterDeviceNotification; a second call does nothing and answers 0.
    virtual SysError unregister() = 0;
};

class HidBus {
public:
    virtual ~HidBus() = default;

    // SetupDiGetClassDevsW for the HID interface class, present devices only; null when the
    // platform gives no list.
    virtual std::unique_ptr<HidInterfaceList> listInterfaces() = 0;
    // CreateFileW with the given access, sharing read and write, OPEN_EXISTING. Null and the
    // error number on failure.
    virtual std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                            SysError& error) = 0;
    // CMP_WaitNoPendingInstallEvents: returns once no device installation is pending or the time
    // is up (kInfinite: no limit).
    virtual void waitNoPendingInstallEvents(std::uint32_t timeoutMs) = 0;
    // RegisterDeviceNotificationW for GUID_DEVINTERFACE_HID with DEVICE_NOTIFY_WINDOW_HANDLE.
    // Null and the error number on failure.
    virtual std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                            SysError& error) = 0;
    // The physical place of the USB device that holds the interface at `path` (a USB port path
    // such as "1-1.4"): the same while that device re-enumerates as its boot loader and back,
    // different for devices on other ports. Empty with 0 when no USB device is above the
    // interface (a virtual device). Read without opening the interface; only for a present
    // interface, so a caller that must follow a device through its removal keeps the port it
    // read while the device was there. A backend that cannot tell answers kErrorInvalidFunction.
    virtual SysError portOf(std::u16string_view path, std::string& port) {
        (void)path;
        port.clear();
        return kErrorInvalidFunction;
    }
};

}  // namespace tolvane
