#include "usb_port_lookup.h"

#include "wide_text.h"
#include "win32_error.h"
#include "win32_handles.h"
#include "win32_interface_list.h"

#include <cstddef>
#include <cwchar>
#include <new>
#include <vector>

namespace tolvane::win32 {
namespace {

// Far more levels than any USB topology has (7 tiers of hubs): ends a walk over a broken tree.
constexpr int kMaxDepth = 64;

wchar_t FoldAscii(wchar_t c) noexcept {
    return (c >= L'a' && c <= L'z') ? static_cast<wchar_t>(c - L'a' + L'A') : c;
}

bool StartsWithIgnoringCase(std::wstring_view text, std::wstring_view prefix) noexcept {
    if (text.size() < prefix.size()) {
        return false;
    }
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        if (FoldAscii(text[i]) != FoldAscii(prefix[i])) {
            return false;
        }
    }
    return true;
}

// A string property of a device node: the first string of a multi-string. Empty when the node has
// none.
std::wstring NodeText(DEVINST node, ULONG property) {
    ULONG bytes = 0;
    ULONG type = 0;
    if (CM_Get_DevNode_Registry_PropertyW(node, property, &type, nullptr, &bytes, 0) !=
            CR_BUFFER_SMALL ||
        bytes == 0) {
        return {};
    }
    std::vector<wchar_t> buffer(bytes / sizeof(wchar_t) + 1, L'\0');
    if (CM_Get_DevNode_Registry_PropertyW(node, property, &type, buffer.data(), &bytes, 0) !=
        CR_SUCCESS) {
        return {};
    }
    return std::wstring(buffer.data(), wcsnlen(buffer.data(), buffer.size()));
}

bool EqualIgnoringCase(std::wstring_view a, std::u16string_view b) noexcept {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (FoldAscii(a[i]) != FoldAscii(static_cast<wchar_t>(b[i]))) {
            return false;
        }
    }
    return true;
}

// The device instance behind an interface path: found among the present HID interfaces of
// `list`, whose detail records carry their device (opening the one interface by its path is not
// available everywhere). The node is valid while the list exists.
SysError InterfaceNode(const UniqueDeviceInfoList& list, const GUID& hidClass,
                       std::u16string_view path, DEVINST& node) {
    SP_DEVICE_INTERFACE_DATA interfaceData{};
    interfaceData.cbSize = sizeof(interfaceData);
    for (DWORD index = 0;
         SetupDiEnumDeviceInterfaces(list.get(), nullptr, &hidClass, index, &interfaceData);
         ++index) {
        DWORD required = 0;
        SetupDiGetDeviceInterfaceDetailW(list.get(), &interfaceData, nullptr, 0, &required,
                                         nullptr);
        if (required < kDetailFixedSize) {
            continue;
        }
        std::vector<std::byte> buffer(required);
        auto* detail = reinterpret_cast<SP_DEVICE_INTERFACE_DETAIL_DATA_W*>(buffer.data());
        detail->cbSize = kDetailFixedSize;
        SP_DEVINFO_DATA deviceData{};
        deviceData.cbSize = sizeof(deviceData);
        if (!SetupDiGetDeviceInterfaceDetailW(list.get(), &interfaceData, detail, required, nullptr,
                                              &deviceData)) {
            continue;
        }
        const std::size_t offset = offsetof(SP_DEVICE_INTERFACE_DETAIL_DATA_W, DevicePath);
        const std::size_t capacity = (required - offset) / sizeof(wchar_t);
        if (EqualIgnoringCase({detail->DevicePath, wcsnlen(detail->DevicePath, capacity)}, path)) {
            node = deviceData.DevInst;
            return 0;
        }
    }
    // No such interface is present.
    return ERROR_FILE_NOT_FOUND;
}

}  // namespace

namespace {

// Whether the hardware part of an instance identifier (up to its second backslash) has `part`.
bool HardwarePartHas(std::wstring_view instanceId, std::wstring_view part) noexcept {
    std::wstring_view hardware = instanceId.substr(instanceId.find(L'\\') + 1);
    hardware = hardware.substr(0, hardware.find(L'\\'));
    for (std::size_t i = 0; i + part.size() <= hardware.size(); ++i) {
        if (StartsWithIgnoringCase(hardware.substr(i), part)) {
            return true;
        }
    }
    return false;
}

}  // namespace

bool IsUsbDeviceNodeId(std::wstring_view instanceId) noexcept {
    // An interface of a composite device has "&MI_nn" in its hardware part.
    return StartsWithIgnoringCase(instanceId, L"USB\\") && !HardwarePartHas(instanceId, L"&MI_");
}

bool IsHidCollectionNodeId(std::wstring_view instanceId) noexcept {
    return StartsWithIgnoringCase(instanceId, L"HID\\") && HardwarePartHas(instanceId, L"&COL");
}

namespace {

// Finds the device node of the present HID interface at `path` and hands it to `use` while the
// enumeration list it belongs to exists; a failure of the allocator is ERROR_OUTOFMEMORY.
template <typename Use>
SysError WithInterfaceNode(std::u16string_view path, Use&& use) {
    try {
        GUID hidClass{};
        HidD_GetHidGuid(&hidClass);
        const UniqueDeviceInfoList list(SetupDiGetClassDevsW(
            &hidClass, nullptr, nullptr, DIGCF_PRESENT | DIGCF_DEVICEINTERFACE));
        if (!list) {
            return LastFailure();
        }
        DEVINST node = 0;
        if (const SysError error = InterfaceNode(list, hidClass, path, node); error != 0) {
            return error;
        }
        return use(node);
    } catch (const std::bad_alloc&) {
        return ERROR_OUTOFMEMORY;
    }
}

}  // namespace

SysError DeviceInstanceOfInterface(std::u16string_view path, std::string& instance) {
    instance.clear();
    const SysError error = WithInterfaceNode(path, [&instance](DEVINST node) -> SysError {
        wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
        if (CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
            return kErrorGenFailure;
        }
        // One of several top-level collections: the device is the node they all hang from.
        DEVINST parent = 0;
        if (IsHidCollectionNodeId({id, wcsnlen(id, MAX_DEVICE_ID_LEN)}) &&
            CM_Get_Parent(&parent, node, 0) == CR_SUCCESS &&
            CM_Get_Device_IDW(parent, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
            return kErrorGenFailure;
        }
        instance = ToUtf8(std::wstring_view(id, wcsnlen(id, MAX_DEVICE_ID_LEN)));
        return 0;
    });
    if (error != 0) instance.clear();
    return error;
}

SysError UsbPortOfInterface(std::u16string_view path, std::string& port) {
    port.clear();
    const SysError error = WithInterfaceNode(path, [&port](DEVINST node) -> SysError {
        for (int depth = 0; depth < kMaxDepth; ++depth) {
            wchar_t id[MAX_DEVICE_ID_LEN + 1] = {};
            if (CM_Get_Device_IDW(node, id, MAX_DEVICE_ID_LEN, 0) != CR_SUCCESS) {
                return kErrorGenFailure;
            }
            if (IsUsbDeviceNodeId({id, wcsnlen(id, MAX_DEVICE_ID_LEN)})) {
                std::wstring location = NodeText(node, CM_DRP_LOCATION_PATHS);
                if (location.empty()) {
                    location = NodeText(node, CM_DRP_LOCATION_INFORMATION);
                }
                if (location.empty()) {
                    // A USB device whose place the system does not tell.
                    return ERROR_NOT_FOUND;
                }
                port = ToUtf8(location);
                return 0;
            }
            DEVINST parent = 0;
            if (CM_Get_Parent(&parent, node, 0) != CR_SUCCESS) {
                return 0;  // the root: no USB device above the interface
            }
            node = parent;
        }
        return 0;
    });
    if (error != 0) port.clear();
    return error;
}

}  // namespace tolvane::win32
