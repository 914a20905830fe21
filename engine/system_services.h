// The system-services seam: events with time-outs, sleep and the clock, the hidden notification
// window and its message dispatch, and message boxes. Real backends map onto the operating system;
// the simulated one runs on a virtual clock (every wait below lasts virtual time there) and keeps
// a transcript. Each entry's contract reads as in hid_bus.h (errors, blocks, thread, Windows),
// checked against every backend by tests/conformance.
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

// An auto-reset event, created not signalled. Destruction closes it. Thread: every entry from
// any thread, at the same time too.
class AutoResetEvent {
public:
    virtual ~AutoResetEvent() = default;
    // A signal given while nobody waits stays pending; a second one is not counted. After close:
    // kErrorInvalidHandle. Blocks: no. Windows: SetEvent.
    virtual SysError signal() = 0;
    // Signaled, consuming the signal; TimedOut when none came in time; Failed once closed, also
    // when closed from another thread during the wait. Blocks: up to timeoutMs (kInfinite: no
    // limit); on a thread that owns a notify window it hands that window its notifications
    // meanwhile and leaves every other message queued (not POSIX, whose library handles them on
    // the delivering thread). Windows: WaitForSingleObject, or
    // MsgWaitForMultipleObjectsEx on a window's thread.
    virtual WaitResult wait(std::uint32_t timeoutMs) = 0;
    // Ends a wait in progress; a second call does nothing and answers 0. Blocks: no. Windows:
    // CloseHandle.
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

// The hidden dialog that receives device-interface notifications. It belongs to the thread that
// created it, its owner. Destruction destroys it if destroy() was not called; the object may end
// on any thread, where it leaves the window to its owner, cut off from the handler.
class NotifyWindow {
public:
    virtual ~NotifyWindow() = default;
    // Destroys the window: no notification reaches the handler afterwards, queued ones neither.
    // From a thread other than the owner: kErrorAccessDenied, and the window goes on working. A
    // second call after success does nothing and answers 0. Blocks: no. Thread: the owner.
    // Windows: DestroyWindow.
    virtual SysError destroy() = 0;
    // The platform's window handle (HWND on Windows), for a real bus's registration. Thread: any.
    virtual void* nativeHandle() const = 0;
    // Hands one device-interface notification to the window, as the system does: handled on the
    // owner, in the order given, when it dispatches its messages, not on the delivering thread
    // (except with POSIX services made to handle at once on it, for callers without a message
    // loop: the Linux library's). Used by the simulated bus and the Linux bus. Blocks: no. Thread:
    // any. Windows: a queued DEV_BROADCAST_DEVICEINTERFACE_W and a posted message, read as
    // WM_DEVICECHANGE.
    virtual void deliverDeviceChange(std::uint32_t eventType, std::u16string path) = 0;
};

// A finer resolution of the system timer, held for the object's lifetime so that short sleeps last
// what they ask for. Destruction gives it back.
class TimerResolutionHold {
public:
    virtual ~TimerResolutionHold() = default;
};

// A share of a simulated clock for one thread that does a part of a run (one device's update among
// several): the clock does not move on while that thread works, only while it waits, so its
// times are its own. Taken before the thread starts; the thread calls attach() first, and lets
// the share go when its part is done.
class ClockShare {
public:
    virtual ~ClockShare() = default;
    virtual void attach() = 0;
};

// Thread: every entry from any thread, at the same time too, unless it says otherwise.
class SystemServices {
public:
    virtual ~SystemServices() = default;

    // An auto-reset event, not signalled, unnamed; null and the error number on failure. Blocks:
    // no. Windows: CreateEventW.
    virtual std::unique_ptr<AutoResetEvent> createEvent(SysError& error) = 0;
    // Blocks for at least `ms`. Windows: Sleep.
    virtual void sleep(std::uint32_t ms) = 0;
    // A clock in milliseconds that never goes back. Blocks: no. Windows: GetTickCount64.
    virtual std::uint64_t nowMs() = 0;
    // A 1 ms timer resolution for as long as the returned hold lives. Optional: null where sleeps
    // are already that fine, or when the system refused; the caller goes on either way. Blocks:
    // no. Windows: timeBeginPeriod(1), then timeEndPeriod(1).
    virtual std::unique_ptr<TimerResolutionHold> holdFineTimerResolution() { return nullptr; }
    // A share of the clock for a thread about to start; null where the clock is the real one and
    // keeps time by itself. Blocks: no.
    virtual std::unique_ptr<ClockShare> shareClock() { return nullptr; }
    // The hidden notify window, owned by the calling thread, never shown; null and the error
    // number on failure. Blocks: no. Windows: CreateDialogIndirectParamW from an in-memory
    // template.
    virtual std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec& config,
                                                             DeviceChangeHandler& handler,
                                                             SysError& error) = 0;
    // Tells the user `text` under `caption`. Blocks: until the user has closed it (POSIX: writes
    // one line to standard error and returns). Windows: MessageBoxW without owner, MB_OK.
    virtual void showMessageBox(std::u16string_view text, std::u16string_view caption) = 0;
    // Retrieves and dispatches the calling thread's messages, its notify windows' notifications
    // among them, and returns. Blocks: up to maxWaitMs (real time, also in the simulation) for
    // the first one when none is queued. Thread: the one whose messages are meant; a thread that
    // keeps a notify window calls this in a loop. Windows: MsgWaitForMultipleObjectsEx,
    // PeekMessageW, DispatchMessageW.
    virtual void dispatchMessages(std::uint32_t maxWaitMs) = 0;
};

}  // namespace tolvane
