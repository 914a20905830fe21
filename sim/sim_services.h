// Simulated system services on a virtual clock, with a transcript of every call.
//
// Time: sleep() and event waits advance the virtual clock (timeline()) and run the actions
// scheduled on it as they fall due; nothing sleeps in real time. A wait that nothing signals
// returns TimedOut with the clock exactly at its deadline.
//
// Windows: a notify window belongs to the thread that created it. deliverDeviceChange() from any
// thread only queues the notification; the handler runs on the owning thread, when it calls
// dispatchMessages() or while it waits on an event. That is what Windows does: device-change
// notifications are sent messages, and a wait on the window's own thread dispatches sent messages
// and the notify window's own posted messages. The host program's other messages
// (postHostMessage()) are handled only by dispatchMessages(), never inside a wait, so a host's
// handler does not run inside a reset.
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
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace tolvane::sim {

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
    // A lane of the virtual clock (VirtualTimeline::Lane) for a thread about to start.
    std::unique_ptr<ClockShare> shareClock() override;
    void sleep(std::uint32_t ms) override;
    std::uint64_t nowMs() override;
    std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec& config,
                                                     DeviceChangeHandler& handler,
                                                     SysError& error) override;
    void showMessageBox(std::u16string_view text, std::u16string_view caption) override;
    void dispatchMessages(std::uint32_t maxWaitMs) override;

    // A message for one of the host program's own windows on the calling thread (a button
    // click): `handler` runs when this thread calls dispatchMessages(), never inside a wait.
    void postHostMessage(std::function<void()> handler);

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
    // A message was queued for `owner`: wakes its dispatch or its wait.
    void messageQueued(std::thread::id owner);
    // Caller holds mutex_.
    bool othersBusyLocked(std::thread::id self) const;
    // Counts `core` as busy (a message queued or being handled) or not, after it changed: the
    // clock asks after every step whether another thread's window is busy, and with a window per
    // device a walk of them all would make every step cost as much as the devices.
    void recountLocked(WindowCore& core);
    bool ownQueuedLocked(std::thread::id self) const;
    // Handle one queued message of the calling thread's notify windows or host; false when none
    // is queued. The lock is released while the message is handled.
    bool dispatchOneWindowMessage(std::unique_lock<std::mutex>& lock, std::thread::id self);
    bool dispatchOneHostMessage(std::unique_lock<std::mutex>& lock, std::thread::id self);
    // What a wait on the calling thread dispatches: its notify windows' messages only.
    void dispatchOwnWindowMessages();

    struct HostMessage {
        std::thread::id owner;
        std::function<void()> handler;
    };

    Transcript& transcript_;
    VirtualTimeline timeline_;
    mutable std::mutex mutex_;
    std::condition_variable changed_;  // dispatch progress, windows gone (for settle)
    // The threads waiting in dispatchMessages(), each woken alone when a message is queued for it.
    std::map<std::thread::id, std::condition_variable*> dispatchWaits_;
    std::vector<std::shared_ptr<WindowCore>> cores_;
    int busyCores_ = 0;
    std::unordered_map<std::thread::id, int> busyByOwner_;
    std::vector<SimNotifyWindow*> windows_;
    std::deque<HostMessage> hostMessages_;
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
