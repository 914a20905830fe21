// The system-services seam: events with time-outs, sleep and the clock, the hidden notification
// window and its message dispatch, and message boxes. Real backends map onto the operating system;
// the simulated one runs on a virtual clock and keeps a transcript.
#pragma once

#include "hid_bus.h"

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tolvane {

// Device-change event types carried in WM_DEVICECHANGE's wParam.
inline constexpr std::uint32_t kDeviceArrival = 0x8000;         // DBT_DEVICEARRIVAL
inline constexpr std::uint32_t kDeviceQueryRemove = 0x8001;     // DBT_DEVICEQUERYREMOVE
inline constexpr std::uint32_t kDeviceRemoveComplete = 0x8004;  // DBT_DEVICEREMOVECOMPLETE
// Device type of a DEV_BROADCAST_DEVICEINTERFACE record.
inline constexpr std::uint32_t kDevTypeDeviceInterface = 5;  // DBT_DEVTYP_DEVICEINTERFACE
inline constexpr std::uint32_t kDevTypeHandle = 6;           // DBT_DEVTYP_HANDLE

enum class WaitResult {
    Signaled,
    TimedOut,
    Failed,
};

// An auto-reset event, created not signalled. Destruction closes it.
class AutoResetEvent {
public:
    virtual ~AutoResetEvent() = default;
    // SetEvent. A signal given while nobody waits stays pending; a second one is not counted.
    virtual SysError signal() = 0;
    // WaitForSingleObject: consumes the signal when it ends the wait.
    virtual WaitResult wait(std::uint32_t timeoutMs) = 0;
    // CloseHandle; a second call does nothing and answers 0.
    virtual SysError close() = 0;
};

// One WM_DEVICECHANGE as the hidden window's procedure sees it.
struct DeviceChangeMessage {
    std::uint32_t eventType = 0;   // wParam
    std::uint32_t deviceType = 0;  // dbch_devicetype of the record in lParam
    std::u16string_view name;      // dbcc_name for an interface record, else empty
};

// The engine's side of the hidden window: runs on the window's owning thread, only while that
// thread dispatches its messages. Commands (OK, close) are swallowed by the window itself.
class DeviceChangeHandler {
public:
    virtual ~DeviceChangeHandler() = default;
    virtual void onDeviceChange(const DeviceChangeMessage& message) = 0;
};

// Size of the hidden window's one button in dialog units: 60 by 14 for the library, 80 by 20 for
// the program.
struct NotifyWindowSpec {
    std::uint16_t buttonWidth = 60;
    std::uint16_t buttonHeight = 14;
};

// What destroying a notify window from a thread other than its owner answers, in every backend:
// DestroyWindow's own answer on Windows, ERROR_ACCESS_DENIED.
inline constexpr SysError kErrorDestroyFromOtherThread = kErrorAccessDenied;

// The hidden dialog that receives device-interface notifications. It belongs to the thread that
// created it. Destruction destroys it if destroy() was not called.
class NotifyWindow {
public:
    virtual ~NotifyWindow() = default;
    // DestroyWindow: fails with kErrorDestroyFromOtherThread when called from another thread.
    // A second call after success does nothing and answers 0.
    virtual SysError destroy() = 0;
    // The platform's window handle (HWND on Windows), for a real bus's registration.
    virtual void* nativeHandle() const = 0;
    // Hands one device-interface notification to the window from any thread. It is handled on the
    // owning thread when that thread dispatches, as the system delivers WM_DEVICECHANGE. Used by
    // the simulated bus.
    virtual void deliverDeviceChange(std::uint32_t eventType, std::u16string path) = 0;
};

// A finer resolution of the system timer, held for the object's lifetime so that short sleeps last
// what they ask for. Destruction gives it back.
class TimerResolutionHold {
public:
    virtual ~TimerResolutionHold() = default;
};

class SystemServices {
public:
    virtual ~SystemServices() = default;

    // CreateEventW: auto-reset, not signalled, unnamed. Null and the error number on failure.
    virtual std::unique_ptr<AutoResetEvent> createEvent(SysError& error) = 0;
    // Sleep.
    virtual void sleep(std::uint32_t ms) = 0;
    // A monotonic clock in milliseconds.
    virtual std::uint64_t nowMs() = 0;
    // A 1 ms timer resolution for as long as the returned hold lives (timeBeginPeriod(1) and
    // timeEndPeriod(1) on Windows). Null where sleeps are already that fine, or when the system
    // refused; the caller goes on either way.
    virtual std::unique_ptr<TimerResolutionHold> holdFineTimerResolution() { return nullptr; }
    // The hidden dialog from its in-memory template (CreateDialogIndirectParamW), owned by the
    // calling thread, never shown. Null and the error number on failure.
    virtual std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec& config,
                                                             DeviceChangeHandler& handler,
                                                             SysError& error) = 0;
    // MessageBoxW without owner, MB_OK; returns when the user has closed it.
    virtual void showMessageBox(std::u16string_view text, std::u16string_view caption) = 0;
    // Retrieves and dispatches the calling thread's window messages; waits up to maxWaitMs (real
    // time) for the first one when none is queued. A thread that keeps a notify window calls this
    // in a loop.
    virtual void dispatchMessages(std::uint32_t maxWaitMs) = 0;
};

}  // namespace tolvane
