// The hidden dialog that receives WM_DEVICECHANGE for HID interfaces and hands each arrival and
// removal to the engine's handler on the window's own thread.
#pragma once

#include "system_services.h"
#include "win32_handles.h"

#include <cstdint>
#include <deque>
#include <mutex>
#include <vector>

namespace tolvane::win32 {

// Whether the calling thread owns a notification window that still exists: its notifications
// are handled only when this thread dispatches its messages.
bool CallingThreadOwnsNotifyWindow() noexcept;

// Private message that makes the owning thread deliver the queued notifications.
inline constexpr UINT kDeliverQueuedMessage = WM_APP + 0x0D0;

class Win32NotifyWindow final : public NotifyWindow {
public:
    explicit Win32NotifyWindow(DeviceChangeHandler& handler) noexcept : handler_(handler) {}
    ~Win32NotifyWindow() override;
    Win32NotifyWindow(const Win32NotifyWindow&) = delete;
    Win32NotifyWindow& operator=(const Win32NotifyWindow&) = delete;

    // CreateDialogIndirectParamW from the template, owned by the calling thread. 0 or the error.
    SysError create(const NotifyWindowSpec& config);
    bool created() const noexcept { return window_.valid(); }

    SysError destroy() override;
    void* nativeHandle() const override { return window_.get(); }
    // Queues a real DEV_BROADCAST_DEVICEINTERFACE_W and posts kDeliverQueuedMessage; when the
    // owning thread dispatches it, the record goes to the window as WM_DEVICECHANGE.
    void deliverDeviceChange(std::uint32_t eventType, std::u16string path) override;

private:
    struct QueuedChange {
        std::uint32_t eventType = 0;
        // A DEV_BROADCAST_DEVICEINTERFACE_W with its name, in DWORD-aligned storage.
        std::vector<DWORD> record;
    };

    static INT_PTR CALLBACK DialogProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    INT_PTR onDeviceChange(WPARAM eventType, LPARAM record);
    void deliverQueued();

    DeviceChangeHandler& handler_;
    // Keeps the module that holds DialogProc loaded while the window exists, so that a caller
    // who unloads the library without stopping the watcher leaves no procedure in unloaded code.
    // Released once the window is destroyed; kept for good when it cannot be.
    UniqueModuleReference module_;
    UniqueWindow window_;
    std::mutex queueMutex_;
    std::deque<QueuedChange> queue_;
};

}  // namespace tolvane::win32
