#include "sim_services.h"

#include <algorithm>
#include <limits>
#include <utility>

namespace tolvane::sim {

struct WindowMessage {
    bool command = false;
    std::uint32_t eventType = 0;  // or the WindowCommand
    std::uint32_t deviceType = 0;
    std::u16string name;
};

struct WindowCore {
    std::uint32_t id = 0;
    std::thread::id owner;
    DeviceChangeHandler* handler = nullptr;
    NotifyWindowSpec config;
    std::deque<WindowMessage> queue;
    int dispatching = 0;  // messages being handled on the owner thread right now
    bool destroyed = false;
};

// ---------------------------------------------------------------------------------------------
// Events

class SimEvent final : public AutoResetEvent {
public:
    SimEvent(SimServices& services, std::uint32_t id) : services_(services), id_(id) {}
    ~SimEvent() override { close(); }
    SimEvent(const SimEvent&) = delete;
    SimEvent& operator=(const SimEvent&) = delete;

    SysError signal() override {
        SysError error = 0;
        {
            std::lock_guard lock(services_.mutex_);
            if (closed_) {
                error = kErrorInvalidHandle;
            } else {
                signaled_ = true;
            }
        }
        services_.changed_.notify_all();
        services_.record({.call = Call::SignalEvent, .error = error, .handle = id_});
        return error;
    }

    WaitResult wait(std::uint32_t timeoutMs) override {
        const std::uint64_t start = services_.timeline_.nowMs();
        const WaitResult result = waitFor(timeoutMs);
        services_.record({.call = Call::WaitEvent,
                          .value = timeoutMs,
                          .handle = id_,
                          .result = static_cast<int>(result),
                          .startMs = start});
        return result;
    }

    SysError close() override {
        {
            std::lock_guard lock(services_.mutex_);
            if (closed_) return 0;
            closed_ = true;
            --services_.eventsHeld_;
        }
        services_.changed_.notify_all();
        services_.record({.call = Call::CloseEvent, .handle = id_});
        return 0;
    }

private:
    // Consumes the signal if there is one. Caller holds the services' mutex.
    bool takeLocked() {
        if (!signaled_) return false;
        signaled_ = false;
        return true;
    }

    WaitResult waitFor(std::uint32_t timeoutMs) {
        VirtualTimeline& clock = services_.timeline_;
        const std::uint64_t deadline = timeoutMs == kInfinite
                                           ? std::numeric_limits<std::uint64_t>::max()
                                           : clock.nowMs() + timeoutMs;
        for (;;) {
            services_.settle();
            // On the window's own thread the wait hands the window its notifications, as
            // Windows delivers sent messages during a wait; the host's messages stay queued.
            services_.dispatchOwnWindowMessages();
            {
                std::lock_guard lock(services_.mutex_);
                if (closed_) return WaitResult::Failed;
                if (takeLocked()) return WaitResult::Signaled;
            }
            const auto next = clock.nextDueMs();
            if (next && *next <= deadline) {
                clock.advanceTo(*next);
                continue;
            }
            if (timeoutMs == kInfinite) {
                // Nothing on the clock can end this wait: only another thread's signal can.
                std::unique_lock lock(services_.mutex_);
                const bool ended = services_.changed_.wait_for(
                    lock, services_.safetyLimit_, [this] { return signaled_ || closed_; });
                if (ended && takeLocked()) return WaitResult::Signaled;
                return WaitResult::Failed;
            }
            clock.advanceTo(deadline);
            services_.settle();
            services_.dispatchOwnWindowMessages();
            std::lock_guard lock(services_.mutex_);
            return takeLocked() ? WaitResult::Signaled : WaitResult::TimedOut;
        }
    }

    SimServices& services_;
    const std::uint32_t id_;
    bool signaled_ = false;  // guarded by the services' mutex
    bool closed_ = false;
};

// ---------------------------------------------------------------------------------------------
// Windows

SimNotifyWindow::SimNotifyWindow(SimServices& services, std::shared_ptr<WindowCore> core)
    : services_(services), core_(std::move(core)) {
    std::lock_guard lock(services_.mutex_);
    services_.windows_.push_back(this);
}

SimNotifyWindow::~SimNotifyWindow() {
    bool abandoned = false;
    {
        std::lock_guard lock(services_.mutex_);
        auto& windows = services_.windows_;
        windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
        if (!core_->destroyed) {
            // From another thread the system would keep the window until its thread ends; the
            // simulation has to let it go with its object.
            abandoned = std::this_thread::get_id() != core_->owner;
            core_->destroyed = true;
            core_->queue.clear();
            --services_.windowsHeld_;
            auto& cores = services_.cores_;
            cores.erase(std::remove(cores.begin(), cores.end(), core_), cores.end());
        } else {
            return;
        }
    }
    services_.changed_.notify_all();
    services_.record({.call = Call::DestroyWindow,
                      .error = abandoned ? kErrorAccessDenied : 0,
                      .handle = core_->id,
                      .text = abandoned ? u"abandoned by another thread" : u""});
}

SysError SimNotifyWindow::destroy() {
    SysError error = 0;
    {
        std::lock_guard lock(services_.mutex_);
        if (core_->destroyed) return 0;
        if (std::this_thread::get_id() != core_->owner) {
            error = kErrorAccessDenied;
        } else {
            core_->destroyed = true;
            core_->queue.clear();
            --services_.windowsHeld_;
            auto& cores = services_.cores_;
            cores.erase(std::remove(cores.begin(), cores.end(), core_), cores.end());
        }
    }
    services_.changed_.notify_all();
    services_.record({.call = Call::DestroyWindow, .error = error, .handle = core_->id});
    return error;
}

void* SimNotifyWindow::nativeHandle() const {
    return core_.get();
}

void SimNotifyWindow::deliverDeviceChange(std::uint32_t eventType, std::u16string path) {
    {
        std::lock_guard lock(services_.mutex_);
        if (core_->destroyed) return;
        core_->queue.push_back({false, eventType, kDevTypeDeviceInterface, std::move(path)});
    }
    services_.changed_.notify_all();
}

void SimNotifyWindow::deliverOtherDeviceChange(std::uint32_t eventType, std::uint32_t deviceType) {
    {
        std::lock_guard lock(services_.mutex_);
        if (core_->destroyed) return;
        core_->queue.push_back({false, eventType, deviceType, {}});
    }
    services_.changed_.notify_all();
}

void SimNotifyWindow::postCommand(WindowCommand command) {
    {
        std::lock_guard lock(services_.mutex_);
        if (core_->destroyed) return;
        core_->queue.push_back({true, static_cast<std::uint32_t>(command), 0, {}});
    }
    services_.changed_.notify_all();
}

std::uint32_t SimNotifyWindow::id() const {
    return core_->id;
}
std::thread::id SimNotifyWindow::owner() const {
    return core_->owner;
}
NotifyWindowSpec SimNotifyWindow::config() const {
    return core_->config;
}

bool SimNotifyWindow::destroyed() const {
    std::lock_guard lock(services_.mutex_);
    return core_->destroyed;
}

std::size_t SimNotifyWindow::queuedMessages() const {
    std::lock_guard lock(services_.mutex_);
    return core_->queue.size();
}

// ---------------------------------------------------------------------------------------------
// Services

SimServices::SimServices(Transcript& transcript) : transcript_(transcript) {
    timeline_.setAfterActionHook([this] { settle(); });
}

SimServices::~SimServices() {
    timeline_.setAfterActionHook({});
}

void SimServices::record(Entry entry) {
    entry.atMs = timeline_.nowMs();
    transcript_.record(std::move(entry));
}

std::unique_ptr<AutoResetEvent> SimServices::createEvent(SysError& error) {
    std::unique_ptr<AutoResetEvent> event;
    std::uint32_t id = 0;
    {
        std::lock_guard lock(mutex_);
        if (createEventFault_.strike()) {
            error = createEventFault_.error;
        } else {
            error = 0;
            id = nextEventId_++;
            ++eventsHeld_;
            event = std::make_unique<SimEvent>(*this, id);
        }
    }
    record({.call = Call::CreateEvent, .error = error, .handle = id});
    return event;
}

void SimServices::sleep(std::uint32_t ms) {
    record({.call = Call::Sleep, .value = ms});
    settle();
    timeline_.advanceBy(ms);
}

std::uint64_t SimServices::nowMs() {
    return timeline_.nowMs();
}

std::unique_ptr<NotifyWindow> SimServices::createNotifyWindow(const NotifyWindowSpec& config,
                                                              DeviceChangeHandler& handler,
                                                              SysError& error) {
    std::shared_ptr<WindowCore> core;
    {
        std::lock_guard lock(mutex_);
        if (createWindowFault_.strike()) {
            error = createWindowFault_.error;
        } else {
            error = 0;
            core = std::make_shared<WindowCore>();
            core->id = nextWindowId_++;
            core->owner = std::this_thread::get_id();
            core->handler = &handler;
            core->config = config;
            cores_.push_back(core);
            ++windowsHeld_;
        }
    }
    const std::uint32_t size =
        static_cast<std::uint32_t>(config.buttonWidth) << 16 | config.buttonHeight;
    record(
        {.call = Call::CreateWindow, .error = error, .value = size, .handle = core ? core->id : 0});
    if (!core) return nullptr;
    return std::make_unique<SimNotifyWindow>(*this, std::move(core));
}

void SimServices::showMessageBox(std::u16string_view text, std::u16string_view caption) {
    {
        std::lock_guard lock(mutex_);
        messageBoxes_.push_back({std::u16string(text), std::u16string(caption)});
    }
    record(
        {.call = Call::MessageBox, .path = std::u16string(text), .text = std::u16string(caption)});
}

bool SimServices::ownQueuedLocked(std::thread::id self) const {
    return std::any_of(cores_.begin(), cores_.end(),
                       [self](const auto& core) {
                           return core->owner == self && !core->destroyed && !core->queue.empty();
                       }) ||
           std::any_of(hostMessages_.begin(), hostMessages_.end(),
                       [self](const HostMessage& message) { return message.owner == self; });
}

bool SimServices::othersBusyLocked(std::thread::id self) const {
    return std::any_of(cores_.begin(), cores_.end(), [self](const auto& core) {
        return core->owner != self && !core->destroyed &&
               (!core->queue.empty() || core->dispatching > 0);
    });
}

bool SimServices::dispatchOneWindowMessage(std::unique_lock<std::mutex>& lock,
                                           std::thread::id self) {
    auto found = std::find_if(cores_.begin(), cores_.end(), [self](const auto& core) {
        return core->owner == self && !core->destroyed && !core->queue.empty();
    });
    if (found == cores_.end()) return false;
    std::shared_ptr<WindowCore> core = *found;
    WindowMessage message = std::move(core->queue.front());
    core->queue.pop_front();
    ++core->dispatching;
    lock.unlock();
    if (message.command) {
        record({.call = Call::CommandSwallowed, .value = message.eventType, .handle = core->id});
    } else {
        record({.call = Call::Dispatch,
                .value = message.eventType,
                .handle = core->id,
                .result = static_cast<int>(message.deviceType),
                .path = message.name});
        core->handler->onDeviceChange(
            DeviceChangeMessage{message.eventType, message.deviceType, message.name});
    }
    lock.lock();
    --core->dispatching;
    changed_.notify_all();
    return true;
}

bool SimServices::dispatchOneHostMessage(std::unique_lock<std::mutex>& lock, std::thread::id self) {
    auto found = std::find_if(hostMessages_.begin(), hostMessages_.end(),
                              [self](const HostMessage& message) { return message.owner == self; });
    if (found == hostMessages_.end()) return false;
    std::function<void()> handler = std::move(found->handler);
    hostMessages_.erase(found);
    lock.unlock();
    record({.call = Call::Note, .text = u"host message handled"});
    handler();
    lock.lock();
    return true;
}

void SimServices::dispatchMessages(std::uint32_t maxWaitMs) {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    const auto queued = [this, self] { return ownQueuedLocked(self); };
    if (maxWaitMs == kInfinite) {
        changed_.wait(lock, queued);
    } else {
        changed_.wait_for(lock, std::chrono::milliseconds(maxWaitMs), queued);
    }
    while (dispatchOneWindowMessage(lock, self) || dispatchOneHostMessage(lock, self)) {
    }
}

void SimServices::dispatchOwnWindowMessages() {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    while (dispatchOneWindowMessage(lock, self)) {
    }
}

void SimServices::postHostMessage(std::function<void()> handler) {
    {
        std::lock_guard lock(mutex_);
        hostMessages_.push_back({std::this_thread::get_id(), std::move(handler)});
    }
    changed_.notify_all();
}

void SimServices::settle() {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    if (!changed_.wait_for(lock, safetyLimit_, [this, self] { return !othersBusyLocked(self); })) {
        lock.unlock();
        record(
            {.call = Call::Note, .text = u"another thread did not dispatch its window messages"});
    }
}

void SimServices::setSafetyLimit(std::chrono::milliseconds limit) {
    std::lock_guard lock(mutex_);
    safetyLimit_ = limit;
}

void SimServices::failCreateEvent(SysError error, std::uint32_t times) {
    std::lock_guard lock(mutex_);
    createEventFault_ = Fault{error, times};
}

void SimServices::failCreateNotifyWindow(SysError error, std::uint32_t times) {
    std::lock_guard lock(mutex_);
    createWindowFault_ = Fault{error, times};
}

void SimServices::clearFaults() {
    std::lock_guard lock(mutex_);
    createEventFault_ = {};
    createWindowFault_ = {};
}

Held SimServices::held() const {
    std::lock_guard lock(mutex_);
    Held held;
    held.events = eventsHeld_;
    held.windows = windowsHeld_;
    return held;
}

std::vector<MessageBoxRecord> SimServices::messageBoxes() const {
    std::lock_guard lock(mutex_);
    return messageBoxes_;
}

std::vector<SimNotifyWindow*> SimServices::windows() const {
    std::lock_guard lock(mutex_);
    return windows_;
}

}  // namespace tolvane::sim
