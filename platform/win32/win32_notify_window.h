// The hidden dialog that receives WM_DEVICECHANGE for HID interfaces and hands each arrival and
// removal to the engine's handler on the window's own thread.
#pragma once

#include "system_services.h"
#include "win32_handles.h"

#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <vector>

namespace tolvane::win32 {

// Whether the calling thread owns a notification window that still exists: its notifications
// are handled only when this thread dispatches its messages.
bool CallingThreadOwnsNotifyWindow() noexcept;
// The notification windows of the calling thread that exist, oldest first.
std::vector<HWND> NotifyWindowsOfCallingThread();

// Private message that makes the owning thread deliver the queued notifications.
inline constexpr UINT kDeliverQueuedMessage = WM_APP + 0x0D0;

// What the window's procedure works with. The window keeps it alive for as long as it exists
// and the procedure holds it for the length of each call, so the object may be destroyed on any
// thread, also while the owning thread is inside the procedure: its destruction waits for that
// call to return and then cuts the handler off.
struct NotifyWindowCore : std::enable_shared_from_this<NotifyWindowCore> {
    struct QueuedChange {
        std::uint32_t eventType = 0;
        // A DEV_BROADCAST_DEVICEINTERFACE_W with its name, in DWORD-aligned storage.
        std::vector<DWORD> record;
    };

    explicit NotifyWindowCore(DeviceChangeHandler& target) noexcept : handler(&target) {}

    // Held while the procedure uses the handler; recursive, since a handler may make the window
    // send itself a message.
    std::recursive_mutex procedureMutex;
    DeviceChangeHandler* handler;  // none once the object has let go of the window
    std::mutex queueMutex;
    std::deque<QueuedChange> queue;
    // The window's own reference, from WM_INITDIALOG to WM_NCDESTROY.
    std::shared_ptr<NotifyWindowCore> heldByWindow;
};

class Win32NotifyWindow final : public NotifyWindow {
public:
    explicit Win32NotifyWindow(DeviceChangeHandler& handler);
    ~Win32NotifyWindow() override;
    Win32NotifyWindow(const Win32NotifyWindow&) = delete;
    Win32NotifyWindow& operator=(const Win32NotifyWindow&) = delete;

    // CreateDialogIndirectParamW from the template, owned by the calling thread. 0 or the error.
    SysError create(const NotifyWindowSpec& config);
    bool created() const noexcept { return window_.valid(); }

    // DestroyWindow; from another thread it fails with ERROR_ACCESS_DENIED and the window lives.
    SysError destroy() override;
    void* nativeHandle() const override { return window_.get(); }
    // Queues a real DEV_BROADCAST_DEVICEINTERFACE_W and sends kDeliverQueuedMessage without
    // waiting (posts it on the owning thread itself); when the owning thread handles it, the
    // record goes to the window as WM_DEVICECHANGE.
    void deliverDeviceChange(std::uint32_t eventType, std::u16string path) override;

private:
    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    static INT_PTR OnDeviceChange(NotifyWindowCore& core, WPARAM eventType, LPARAM record);
    static void DeliverQueued(NotifyWindowCore& core, HWND window);

    std::shared_ptr<NotifyWindowCore> core_;
    // Keeps the module that holds DialogProc loaded while the window exists, so that a caller
    // who unloads the library without stopping the watcher leaves no procedure in unloaded code.
    // Released once the window is destroyed; kept for good when it cannot be.
    UniqueModuleReference module_;
    UniqueWindow window_;
};

}  // namespace tolvane::win32
