#include "win32_interface_list.h"

#include "wide_text.h"

#include <cstddef>
#include <cwchar>
#include <new>
#include <vector>

namespace tolvane::win32 {

InterfaceLookup Win32InterfaceList::interfacePath(std::uint32_t index, std::u16string& path) {
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(interfaceData);
    if (!SetupDiEnumDeviceInterfaces(list_.get(), nullptr, &interfaceClass_, index,
                                     &interfaceData)) {
        return InterfaceLookup::End;
    }

    // The first call has no buffer: it fails with ERROR_INSUFFICIENT_BUFFER and reports the size.
    DWORD required = 0;
    SetupDiGetDeviceInterfaceDetailW(list_.get(), &interfaceData, nullptr, 0, &required, nullptr);
    if (required < kDetailFixedSize) {
        return InterfaceLookup::Failed;
    }
    try {
        // Exactly the reported size; operator new's alignment suits the record.
        std::vector<std::byte> buffer(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = kDetailFixedSize;
        if (!SetupDiGetDeviceInterfaceDetailW(list_.get(), &interfaceData, detail, required,
                                              nullptr, nullptr)) {
            return InterfaceLookup::Failed;
        }
        const std::size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
        const std::size_t capacity = (required - offset) / sizeof(wchar_t);
        path = FromWide({detail->DevicePath, wcsnlen(detail->DevicePath, capacity)});
    } catch (const std::bad_alloc&) {
        return InterfaceLookup::Failed;
    }
    return InterfaceLookup::Found;
}

}  // namespace tolvane::win32
