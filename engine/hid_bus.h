// The HID bus seam: everything the engine asks of the system's HID class driver and device
// setup. A backend maps each entry one to one onto its platform and holds no protocol logic.
//
// Every entry carries its contract, checked against every backend by tests/conformance:
//   errors:  what it answers for each kind of failure (sys_error.h). Every fallible entry
//            answers the number of the call that failed, 0 on success, and kErrorGenFailure for
//            a failure the system gave no number, so that a failure never reads as success.
//            Device gone: kErrorDeviceNotConnected on every call through its handles; a path
//            that names no present interface: kErrorFileNotFound.
//   blocks:  whether it may wait, and for how long at most.
//   thread:  from which threads it may be called.
//   Windows: the call it stands for there, a note for the reader.
#pragma once

#include "sys_error.h"

#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>

namespace tolvane {

// Time-out value that waits without limit.
inline constexpr std::uint32_t kInfinite = 0xFFFFFFFF;

// The time limit a freshly opened handle gives each transfer: as long as Linux's HID driver gives
// a control transfer.
inline constexpr std::uint32_t kDefaultTransferLimitMs = 5000;

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
    ReadWrite,  // reports may be sent and read (Windows: GENERIC_READ | GENERIC_WRITE)
    None,       // no access rights: attributes, capabilities and serial number only
};

// An open HID interface. Destruction closes it; a handle outlives its device safely. Thread: any,
// one at a time per handle. Every report entry takes the whole report, byte 0 its identifier,
// and refuses before sending: an empty buffer or a length other than the interface's report
// length (report identifier included) or an identifier it has no such report for:
// kErrorInvalidParameter, except that an output report longer than the interface's answers
// kErrorInvalidUserBuffer. A handle opened with DeviceAccess::None refuses output reports with
// kErrorAccessDenied; feature reports through it are the platform's choice (Windows and the
// simulation send them, Linux refuses them alike), so a caller that sends reports opens ReadWrite.
// A transfer blocks until the device answers, for at most the handle's transfer limit
// (kDefaultTransferLimitMs until setTransferLimit changes it): past it kErrorOperationAborted
// (Windows cancels it) or kErrorTimeout (the Linux kernel ends it; over uhid kErrorGenFailure after
// the kernel's wait). A device that stalls the report: kErrorGenFailure.
class HidDevice {
public:
    virtual ~HidDevice() = default;

    // The identity: vendor, product, release number. Also without access rights. Blocks: no.
    // Windows: HidD_GetAttributes.
    virtual SysError getAttributes(HidAttributes& attributes) = 0;
    // The interface's report lengths, identifier byte included; 0 for a kind it has none of.
    // Also without access rights. Blocks: no. Windows: HidD_GetPreparsedData, HidP_GetCaps,
    // HidD_FreePreparsedData in one step.
    virtual SysError getCapabilities(HidCapabilities& capabilities) = 0;
    // Sends a feature report. Blocks: the transfer. Windows: HidD_SetFeature.
    virtual SysError setFeature(std::span<const std::uint8_t> report) = 0;
    // Reads a feature report: byte 0 holds the requested identifier on entry, the buffer holds
    // the device's report on success. Blocks: the transfer. Windows: HidD_GetFeature.
    virtual SysError getFeature(std::span<std::uint8_t> report) = 0;
    // Sends an output report; an interface without output reports answers kErrorInvalidFunction.
    // Blocks: the transfer. Windows: WriteFile.
    virtual SysError writeOutput(std::span<const std::uint8_t> report) = 0;
    // The device's serial number, empty with 0 when it has none. Optional: a backend that cannot
    // tell answers kErrorInvalidFunction. Blocks: Windows asks the device (a transfer); elsewhere
    // no. Windows: HidD_GetSerialNumberString (Linux: the HID `uniq` value).
    virtual SysError getSerialNumber(std::u16string& serial) {
        serial.clear();
        return kErrorInvalidFunction;
    }
    // The time limit of every later transfer through this handle (kInfinite: none). Optional: a
    // backend whose system sets its own limit answers kErrorInvalidFunction and keeps that limit
    // (Linux: usbhid and uhid end a control transfer after 5 s). Blocks: no. Windows: the wait
    // before CancelIoEx.
    virtual SysError setTransferLimit(std::uint32_t limitMs) {
        (void)limitMs;
        return kErrorInvalidFunction;
    }
};

enum class InterfaceLookup {
    Found,   // the interface exists and its path was read
    End,     // no interface at this index: the list is exhausted
    Failed,  // the interface exists but its detail record could not be read
};

// A snapshot of the HID interfaces of present devices, in enumeration order: a device that goes
// later keeps its entry. Destruction destroys the list. Thread: any, one at a time.
class HidInterfaceList {
public:
    virtual ~HidInterfaceList() = default;

    // The path of the interface at `index`; End for every index past the last. Blocks: no.
    // Windows: SetupDiEnumDeviceInterfaces, SetupDiGetDeviceInterfaceDetailW (size query, then a
    // detail buffer of exactly that size, released before this returns).
    virtual InterfaceLookup interfacePath(std::uint32_t index, std::u16string& path) = 0;
};

class NotifyWindow;

// A registration of a window for HID interface arrival and removal notifications.
// Destruction unregisters it if unregister() was not called. Thread: any.
class NotificationRegistration {
public:
    virtual ~NotificationRegistration() = default;
    // Stops the notifications; none reaches the window after it returns. A second call does
    // nothing and answers 0. Blocks: until a delivery in progress has ended. Windows:
    // UnregisterDeviceNotification.
    virtual SysError unregister() = 0;
};

// Thread: every entry from any thread, at the same time too.
class HidBus {
public:
    virtual ~HidBus() = default;

    // The HID interfaces of present devices; an empty list when there are none, null only when
    // the system gives no list. Blocks: no. Windows: SetupDiGetClassDevsW (HID interface class,
    // present devices).
    virtual std::unique_ptr<HidInterfaceList> listInterfaces() = 0;
    // Opens the interface at `path` (paths compare without regard to case), sharing it with other
    // openers; null and the error number on failure: kErrorFileNotFound for a path that names no
    // present interface, kErrorAccessDenied for ReadWrite without the rights (None then still
    // opens it). Blocks: no (Linux: up to 1 s while udev may not have applied its rules to a
    // fresh node). Windows: CreateFileW, OPEN_EXISTING.
    virtual std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                            SysError& error) = 0;
    // Returns once no device installation is pending. Blocks: up to the time-out (kInfinite: no
    // limit; Linux bounds it to 2 s). Windows: CMP_WaitNoPendingInstallEvents.
    virtual void waitNoPendingInstallEvents(std::uint32_t timeoutMs) = 0;
    // Has the system notify `window` of every HID interface's arrival and removal, handled on
    // the window's thread; null and the error number on failure. The window must outlive the
    // registration. Blocks: no. Windows: RegisterDeviceNotificationW for GUID_DEVINTERFACE_HID.
    virtual std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                            SysError& error) = 0;
    // The physical place of the USB device that holds the interface at `path` (a USB port path
    // such as "1-1.4"): the same while that device re-enumerates as its boot loader and back,
    // different for devices on other ports. Empty with 0 when no USB device is above the
    // interface (a virtual device); kErrorFileNotFound for a path that names no present
    // interface, so a caller that must follow a device through its removal keeps the port it read
    // while the device was there. Optional: a backend that cannot tell answers
    // kErrorInvalidFunction. Blocks: no; the interface is not opened. Windows: CM_Get_Parent up
    // to the USB device, CM_DRP_LOCATION_PATHS.
    virtual SysError portOf(std::u16string_view path, std::string& port) {
        (void)path;
        port.clear();
        return kErrorInvalidFunction;
    }
    // The system's name for the device behind the interface at `path`, which tool processes (and
    // scripts) lock to update it one at a time: the same for every collection of one device,
    // different for other devices. Linux: the hidraw node ("/dev/hidraw3", for flock); Windows:
    // the device instance identifier. kErrorFileNotFound for a path that names no present
    // interface. Optional: a backend that cannot tell answers kErrorInvalidFunction. Blocks: no;
    // the interface is not opened. Windows: the interface's device, CM_Get_Device_IDW.
    virtual SysError deviceNodeOf(std::u16string_view path, std::string& node) {
        (void)path;
        node.clear();
        return kErrorInvalidFunction;
    }
};

}  // namespace tolvane
