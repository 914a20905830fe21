// An open HID interface on the Windows HID class driver.
#pragma once

#include "hid_bus.h"
#include "win32_handles.h"

namespace tolvane::win32 {

class Win32HidDevice final : public HidDevice {
public:
    explicit Win32HidDevice(UniqueFileHandle handle) noexcept : handle_(std::move(handle)) {}

    SysError getAttributes(HidAttributes& attributes) override;
    SysError getCapabilities(HidCapabilities& capabilities) override;
    SysError setFeature(std::span<const std::uint8_t> report) override;
    SysError getFeature(std::span<std::uint8_t> report) override;
    SysError writeOutput(std::span<const std::uint8_t> report) override;

    HANDLE nativeHandle() const noexcept { return handle_.get(); }

private:
    UniqueFileHandle handle_;
};

}  // namespace tolvane::win32
