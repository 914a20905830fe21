// The owning wrappers of the Windows platform, one per kind of handle, each aware of its own
// invalid value (INVALID_HANDLE_VALUE for files and device-information lists, null otherwise).
#pragma once

#include "unique_resource.h"
#include "win32_api.h"

namespace tolvane::win32 {

// A device opened with CreateFileW: INVALID_HANDLE_VALUE when none.
struct FileHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Release(Handle handle) noexcept { CloseHandle(handle); }
};
using UniqueFileHandle = UniqueResource<FileHandleTraits>;

// A kernel object such as an event: null when none.
struct KernelHandleTraits {
    using Handle = HANDLE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Release(Handle handle) noexcept { CloseHandle(handle); }
};
using UniqueKernelHandle = UniqueResource<KernelHandleTraits>;

// A SetupAPI device-information list: INVALID_HANDLE_VALUE when none.
struct DeviceInfoListTraits {
    using Handle = HDEVINFO;
    static Handle Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static void Release(Handle handle) noexcept { SetupDiDestroyDeviceInfoList(handle); }
};
using UniqueDeviceInfoList = UniqueResource<DeviceInfoListTraits>;

// A HID interface's preparsed data.
struct PreparsedDataTraits {
    using Handle = PHIDP_PREPARSED_DATA;
    static Handle Invalid() noexcept { return nullptr; }
    static void Release(Handle handle) noexcept { HidD_FreePreparsedData(handle); }
};
using UniquePreparsedData = UniqueResource<PreparsedDataTraits>;

// A device-notification registration.
struct DeviceNotifyTraits {
    using Handle = HDEVNOTIFY;
    static Handle Invalid() noexcept { return nullptr; }
    static void Release(Handle handle) noexcept { UnregisterDeviceNotification(handle); }
};
using UniqueDeviceNotify = UniqueResource<DeviceNotifyTraits>;

// A window; only its owning thread can destroy it.
struct WindowTraits {
    using Handle = HWND;
    static Handle Invalid() noexcept { return nullptr; }
    static void Release(Handle handle) noexcept { DestroyWindow(handle); }
};
using UniqueWindow = UniqueResource<WindowTraits>;

// A reference to a loaded module (GetModuleHandleExW without the unchanged-count flag).
struct ModuleReferenceTraits {
    using Handle = HMODULE;
    static Handle Invalid() noexcept { return nullptr; }
    static void Release(Handle module) noexcept { FreeLibrary(module); }
};
using UniqueModuleReference = UniqueResource<ModuleReferenceTraits>;

}  // namespace tolvane::win32
