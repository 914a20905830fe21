#include "win32_notify_window.h"

#include "notification_filter.h"
#include "notify_dialog_template.h"
#include "wide_text.h"
#include "win32_error.h"

#include <cstddef>
#include <cstring>
#include <cwchar>
#include <exception>
#include <string>

namespace tolvane::win32 {
namespace {

constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);

// Notification windows of this thread that exist: counted on the owning thread itself, from the
// dialog's creation to its final message.
thread_local int notifyWindowsOwned = 0;

// A DEV_BROADCAST_DEVICEINTERFACE_W for the HID class with `path` as its name, terminated.
std::vector<DWORD> MakeInterfaceRecord(std::u16string_view path) {
    const std::size_t bytes = kNameOffset + (path.size() + 1) * sizeof(wchar_t);
    DEV_BROADCAST_DEVICEINTERFACE_W header{};
    header.dbcc_size = static_cast<DWORD>(bytes);
    header.dbcc_devicetype = DBT_DEVTYP_DEVICEINTERFACE;
    header.dbcc_classguid = kGuidDevInterfaceHid;
    const std::wstring name = ToWide(path);

    std::vector<DWORD> storage((bytes + sizeof(DWORD) - 1) / sizeof(DWORD), 0);
    auto* out = reinterpret_cast<std::byte*>(storage.data());
    std::memcpy(out, &header, kNameOffset);
    std::memcpy(out + kNameOffset, name.c_str(), (name.size() + 1) * sizeof(wchar_t));
    return storage;
}

}  // namespace

bool CallingThreadOwnsNotifyWindow() noexcept {
    return notifyWindowsOwned > 0;
}

Win32NotifyWindow::~Win32NotifyWindow() {
    if (window_) {
        // Unbind first: if this thread cannot destroy the window (it belongs to another), the
        // window lives on and must no longer reach this object.
        SetWindowLongPtrW(window_.get(), DWLP_USER, 0);
        if (!DestroyWindow(window_.release())) {
            // Its procedure stays reachable: so does the module that holds it.
            module_.release();
        }
    }
}

SysError Win32NotifyWindow::create(const NotifyWindowSpec& config) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExW(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS,
                            reinterpret_cast<LPCWSTR>(&DialogProc), &module)) {
        return LastFailure();
    }
    module_.reset(module);
    const std::vector<std::uint8_t> dialogTemplate = BuildNotifyDialogTemplate(config);
    HWND window = CreateDialogIndirectParamW(
        nullptr, reinterpret_cast<LPCDLGTEMPLATEW>(dialogTemplate.data()), nullptr, &DialogProc,
        reinterpret_cast<LPARAM>(this));
    if (window == nullptr) {
        const SysError error = GetLastError();
        module_.reset();
        return error;
    }
    window_.reset(window);
    return 0;
}

SysError Win32NotifyWindow::destroy() {
    if (!window_) {
        return 0;
    }
    if (!DestroyWindow(window_.get())) {
        return LastFailure();
    }
    window_.release();
    // The caller runs in the module through its own reference, so this one can go.
    module_.reset();
    return 0;
}

void Win32NotifyWindow::deliverDeviceChange(std::uint32_t eventType, std::u16string path) {
    if (!window_) {
        return;
    }
    {
        const std::lock_guard lock(queueMutex_);
        queue_.push_back(QueuedChange{eventType, MakeInterfaceRecord(path)});
    }
    PostMessageW(window_.get(), kDeliverQueuedMessage, 0, 0);
}

void Win32NotifyWindow::deliverQueued() {
    std::deque<QueuedChange> pending;
    {
        const std::lock_guard lock(queueMutex_);
        pending.swap(queue_);
    }
    for (QueuedChange& change : pending) {
        SendMessageW(window_.get(), WM_DEVICECHANGE, change.eventType,
                     reinterpret_cast<LPARAM>(change.record.data()));
    }
}

INT_PTR Win32NotifyWindow::onDeviceChange(WPARAM eventType, LPARAM record) {
    if ((eventType != DBT_DEVICEARRIVAL && eventType != DBT_DEVICEREMOVECOMPLETE) || record == 0) {
        return FALSE;
    }
    const auto* header = reinterpret_cast<const DEV_BROADCAST_HDR*>(record);
    DeviceChangeMessage message;
    message.eventType = static_cast<std::uint32_t>(eventType);
    message.deviceType = header->dbch_devicetype;
    std::u16string name;
    if (header->dbch_devicetype == DBT_DEVTYP_DEVICEINTERFACE && header->dbch_size > kNameOffset) {
        const auto* interfaceRecord =
            reinterpret_cast<const DEV_BROADCAST_DEVICEINTERFACE_W*>(record);
        const std::size_t capacity = (header->dbch_size - kNameOffset) / sizeof(wchar_t);
        name =
            FromWide({interfaceRecord->dbcc_name, wcsnlen(interfaceRecord->dbcc_name, capacity)});
    }
    message.name = name;
    handler_.onDeviceChange(message);
    return FALSE;
}

INT_PTR CALLBACK Win32NotifyWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        ++notifyWindowsOwned;
        return TRUE;
    }
    if (message == WM_NCDESTROY) {
        --notifyWindowsOwned;
        return FALSE;
    }
    if (message == WM_COMMAND) {
        // OK and the close command are swallowed: the window never ends itself.
        return TRUE;
    }
    auto* self = reinterpret_cast<Win32NotifyWindow*>(GetWindowLongPtrW(window, DWLP_USER));
    if (self == nullptr) {
        return FALSE;
    }
    // No exception may unwind through the system's dispatch.
    try {
        if (message == WM_DEVICECHANGE) {
            return self->onDeviceChange(wParam, lParam);
        }
        if (message == kDeliverQueuedMessage) {
            self->deliverQueued();
            return TRUE;
        }
    } catch (...) {
        return FALSE;
    }
    return FALSE;
}

}  // namespace tolvane::win32
