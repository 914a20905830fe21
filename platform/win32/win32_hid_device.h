// An open HID interface on the Windows HID class driver.
#pragma once

#include "hid_bus.h"
#include "transfer_watchdog.h"
#include "win32_handles.h"

namespace tolvane::win32 {

// Every transfer to the device (feature reports, output reports, the serial string) is overlapped
// I/O under a time limit (the handle is opened with FILE_FLAG_OVERLAPPED) and fails with the
// system's answer to its cancellation when it outlasts it.
class Win32HidDevice final : public HidDevice {
public:
    explicit Win32HidDevice(UniqueFileHandle handle,
                            std::uint32_t transferLimitMs = kDeviceTransferLimitMs) noexcept
        : handle_(std::move(handle)), watchdog_(transferLimitMs) {}

    SysError getAttributes(HidAttributes& attributes) override;
    SysError getCapabilities(HidCapabilities& capabilities) override;
    SysError setFeature(std::span<const std::uint8_t> report) override;
    SysError getFeature(std::span<std::uint8_t> report) override;
    SysError writeOutput(std::span<const std::uint8_t> report) override;
    // HidD_GetSerialNumberString. A device without a serial string fails the request: only a
    // device that is gone, an invalid handle or a transfer that ran out of time is an error;
    // any other refusal reads as no serial number.
    SysError getSerialNumber(std::u16string& serial) override;
    // The watchdog's wait before it cancels a transfer.
    SysError setTransferLimit(std::uint32_t limitMs) override;

    HANDLE nativeHandle() const noexcept { return handle_.get(); }

private:
    UniqueFileHandle handle_;
    TransferWatchdog watchdog_;
};

}  // namespace tolvane::win32
