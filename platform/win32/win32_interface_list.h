// A SetupAPI list of the HID interfaces of present devices.
#pragma once

#include "hid_bus.h"
#include "win32_handles.h"

namespace tolvane::win32 {

// The size SetupAPI expects in the detail record's size field: its fixed part, 6 bytes in a
// 32-bit process (packed), 8 in a 64-bit one.
inline constexpr DWORD kDetailFixedSize = sizeof(SP_DEVICE_INTERFACE_DETAIL_DATA_W);
static_assert(kDetailFixedSize == (sizeof(void*) == 8 ? 8 : 6));

class Win32InterfaceList final : public HidInterfaceList {
public:
    Win32InterfaceList(UniqueDeviceInfoList list, const GUID& interfaceClass) noexcept
        : list_(std::move(list)), interfaceClass_(interfaceClass) {}

    InterfaceLookup interfacePath(std::uint32_t index, std::u16string& path) override;

private:
    UniqueDeviceInfoList list_;
    GUID interfaceClass_;
};

}  // namespace tolvane::win32
