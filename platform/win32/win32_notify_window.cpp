#include "win32_notify_window.h"

#include "notification_filter.h"
#include "notify_dialog_template.h"
#include "wide_text.h"
#include "win32_error.h"

#include <algorithm>
#include <cstddef>
#include <cstring>
#include <cwchar>
#include <exception>
#include <mutex>
#include <string>

namespace tolvane::win32 {
namespace {

constexpr std::size_t kNameOffset = offsetof(DEV_BROADCAST_DEVICEINTERFACE_W, dbcc_name);

// Notification windows that exist, with the thread owning each: from the dialog's initialisation
// to its final message. One list for the process rather than a thread_local one: a thread_local
// with a destructor makes the runtime pin this module for the thread's whole life, so a library
// caller could never unload it.
struct OwnedWindow {
    DWORD thread;
    HWND window;
};
std::mutex ownedWindowsMutex;
std::vector<OwnedWindow> ownedWindows;

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
    const DWORD thread = GetCurrentThreadId();
    const std::lock_guard lock(ownedWindowsMutex);
    return std::any_of(ownedWindows.begin(), ownedWindows.end(),
                       [thread](const OwnedWindow& owned) { return owned.thread == thread; });
}

std::vector<HWND> NotifyWindowsOfCallingThread() {
    const DWORD thread = GetCurrentThreadId();
    std::vector<HWND> windows;
    const std::lock_guard lock(ownedWindowsMutex);
    for (const OwnedWindow& owned : ownedWindows) {
        if (owned.thread == thread) {
            windows.push_back(owned.window);
        }
    }
    return windows;
}

Win32NotifyWindow::Win32NotifyWindow(DeviceChangeHandler& handler)
    : core_(std::make_shared<NotifyWindowCore>(handler)) {}

Win32NotifyWindow::~Win32NotifyWindow() {
    {
        // Waits for a call of the procedure in progress on the owning thread; from then on the
        // window, if it outlives this object, reaches no handler.
        const std::lock_guard lock(core_->procedureMutex);
        core_->handler = nullptr;
    }
    if (window_ && !DestroyWindow(window_.release())) {
        // Another thread's window: its procedure stays reachable, and so does its module.
        module_.release();
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
        reinterpret_cast<LPARAM>(core_.get()));
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
    if (GetWindowThreadProcessId(window_.get(), nullptr) != GetCurrentThreadId()) {
        // What DestroyWindow answers there; asked first, so that no system quirk decides it.
        return kErrorAccessDenied;
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
        const std::lock_guard lock(core_->queueMutex);
        core_->queue.push_back({eventType, MakeInterfaceRecord(path)});
    }
    if (GetWindowThreadProcessId(window_.get(), nullptr) == GetCurrentThreadId()) {
        // Handled when this thread next dispatches, not inside this call.
        PostMessageW(window_.get(), kDeliverQueuedMessage, 0, 0);
    } else {
        // Sent without waiting, as the system sends its notifications: the owning thread handles
        // it whenever it looks at its queue, also inside a wait.
        SendNotifyMessageW(window_.get(), kDeliverQueuedMessage, 0, 0);
    }
}

void Win32NotifyWindow::DeliverQueued(NotifyWindowCore& core, HWND window) {
    std::deque<NotifyWindowCore::QueuedChange> pending;
    {
        const std::lock_guard lock(core.queueMutex);
        pending.swap(core.queue);
    }
    for (NotifyWindowCore::QueuedChange& change : pending) {
        SendMessageW(window, WM_DEVICECHANGE, change.eventType,
                     reinterpret_cast<LPARAM>(change.record.data()));
    }
}

INT_PTR Win32NotifyWindow::OnDeviceChange(NotifyWindowCore& core, WPARAM eventType, LPARAM record) {
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
    core.handler->onDeviceChange(message);
    return FALSE;
}

INT_PTR CALLBACK Win32NotifyWindow::DialogProc(HWND window, UINT message, WPARAM wParam,
                                               LPARAM lParam) {
    if (message == WM_INITDIALOG) {
        auto* core = reinterpret_cast<NotifyWindowCore*>(lParam);
        // No exception may unwind through the system's dispatch.
        try {
            const std::lock_guard lock(ownedWindowsMutex);
            ownedWindows.push_back({GetCurrentThreadId(), window});
        } catch (...) {
            return TRUE;
        }
        core->heldByWindow = core->shared_from_this();
        SetWindowLongPtrW(window, DWLP_USER, lParam);
        return TRUE;
    }
    if (message == WM_COMMAND) {
        // OK and the close command are swallowed: the window never ends itself.
        return TRUE;
    }
    auto* raw = reinterpret_cast<NotifyWindowCore*>(GetWindowLongPtrW(window, DWLP_USER));
    if (raw == nullptr) {
        return FALSE;
    }
    if (message == WM_NCDESTROY) {
        {
            const std::lock_guard lock(ownedWindowsMutex);
            std::erase_if(ownedWindows,
                          [window](const OwnedWindow& owned) { return owned.window == window; });
        }
        SetWindowLongPtrW(window, DWLP_USER, 0);
        // The last reference may be this one: released after everything else.
        const std::shared_ptr<NotifyWindowCore> last = std::move(raw->heldByWindow);
        return FALSE;
    }
    if (message != WM_DEVICECHANGE && message != kDeliverQueuedMessage) {
        return FALSE;
    }
    // Alive for the whole call, whatever the handler or another thread does meanwhile.
    const std::shared_ptr<NotifyWindowCore> core = raw->shared_from_this();
    const std::lock_guard lock(core->procedureMutex);
    if (core->handler == nullptr) {
        return FALSE;
    }
    try {
        if (message == WM_DEVICECHANGE) {
            return OnDeviceChange(*core, wParam, lParam);
        }
        DeliverQueued(*core, window);
        return TRUE;
    } catch (...) {
        return FALSE;
    }
}

}  // namespace tolvane::win32
