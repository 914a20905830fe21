// Simulated system services on a virtual clock, with a transcript of every call.
//
// Time: sleep() and event waits advance the virtual clock (timeline()) and run the actions
// scheduled on it as they fall due; nothing sleeps in real time. A wait that nothing signals
// returns TimedOut with the clock exactly at its deadline.
//
// Windows: a notify window belongs to the thread that created it. deliverDeviceChange() from any
// thread only queues the notification; the handler runs when the owning thread calls
// dispatchMessages(). A wait on the owning thread therefore never sees it and times out.
//
// Determinism across threads: after each scheduled action, and before each wait or sleep decides
// how far to move the clock, the advancing thread waits (in real time, up to a safety limit) until
// the windows of other threads have dispatched everything queued for them. So a worker waiting
// under virtual time and a watcher thread looping dispatchMessages() always interleave the same
// way.
#pragma once

#include "fault.h"
#include "held.h"
#include "system_services.h"
#include "transcript.h"
#include "virtual_timeline.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace tolvane::sim {

inline constexpr SysError kErrorInvalidWindowHandle = 1400;

enum class WindowCommand : std::uint32_t {
    Ok = 1,     // the OK button (IDOK)
    Close = 2,  // the close command (IDCANCEL)
};

struct MessageBoxRecord {
    std::u16string text;
    std::u16string caption;
};

class SimServices;
struct WindowCore;

// The simulated hidden window. Tests reach it through SimServices::windows() or by casting the
// engine's NotifyWindow.
class SimNotifyWindow final : public NotifyWindow {
public:
    SimNotifyWindow(SimServices& services, std::shared_ptr<WindowCore> core);
    ~SimNotifyWindow() override;
    SimNotifyWindow(const SimNotifyWindow&) = delete;
    SimNotifyWindow& operator=(const SimNotifyWindow&) = delete;

    SysError destroy() override;
    void* nativeHandle() const override;
    void deliverDeviceChange(std::uint32_t eventType, std::u16string path) override;

    // A WM_DEVICECHANGE whose record is not an interface record (e.g. kDevTypeHandle).
    void deliverOtherDeviceChange(std::uint32_t eventType, std::uint32_t deviceType);
    // A command to the window (button click, close); the window swallows it when dispatched.
    void postCommand(WindowCommand command);

    std::uint32_t id() const;
    std::thread::id owner() const;
    NotifyWindowSpec config() const;
    bool destroyed() const;
    std::size_t queuedMessages() const;

private:
    SimServices& services_;
    std::shared_ptr<WindowCore> core_;
};

class SimServices final : public SystemServices {
public:
    explicit SimServices(Transcript& transcript);
    ~SimServices() override;
    SimServices(const SimServices&) = delete;
    SimServices& operator=(const SimServices&) = delete;

    // The virtual clock; give it to the SimBus.
    VirtualTimeline& timeline() { return timeline_; }
    Transcript& transcript() { return transcript_; }

    std::unique_ptr<AutoResetEvent> createEvent(SysError& error) override;
    void sleep(std::uint32_t ms) override;
    std::uint64_t nowMs() override;
    std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec& config,
                                                     DeviceChangeHandler& handler,
                                                     SysError& error) override;
    void showMessageBox(std::u16string_view text, std::u16string_view caption) override;
    void dispatchMessages(std::uint32_t maxWaitMs) override;

    // Fault injection: the next `times` calls fail, returning null with `error` (0 allowed).
    void failCreateEvent(SysError error, std::uint32_t times = kAlways);
    void failCreateNotifyWindow(SysError error, std::uint32_t times = kAlways);
    void clearFaults();

    // Events and windows still held (not closed, not destroyed).
    Held held() const;
    std::vector<MessageBoxRecord> messageBoxes() const;
    // The windows that exist now, oldest first.
    std::vector<SimNotifyWindow*> windows() const;

    // Waits until every window of another thread has dispatched what is queued for it (or the
    // safety limit passes). Called by the clock's advances; tests rarely need it.
    void settle();
    // Real-time bound of settle() and of a wait without time-out that nothing can end.
    void setSafetyLimit(std::chrono::milliseconds limit);

private:
    friend class SimNotifyWindow;
    friend class SimEvent;

    void record(Entry entry);
    // Caller holds mutex_.
    bool othersBusyLocked(std::thread::id self) const;
    bool ownQueuedLocked(std::thread::id self) const;

    Transcript& transcript_;
    VirtualTimeline timeline_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;  // queues, dispatch progress, event signals
    std::vector<std::shared_ptr<WindowCore>> cores_;
    std::vector<SimNotifyWindow*> windows_;
    Fault createEventFault_;
    Fault createWindowFault_;
    std::vector<MessageBoxRecord> messageBoxes_;
    std::chrono::milliseconds safetyLimit_{5000};
    std::uint32_t nextEventId_ = 1;
    std::uint32_t nextWindowId_ = 1;
    int eventsHeld_ = 0;
    int windowsHeld_ = 0;
};

}  // namespace tolvane::sim
