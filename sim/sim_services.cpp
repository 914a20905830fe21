#include "sim_services.h"

#include "sim_event.h"
#include "window_core.h"

#include <algorithm>
#include <utility>

namespace tolvane::sim {

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
            event = MakeSimEvent(*this, id);
        }
    }
    record({.call = Call::CreateEvent, .error = error, .handle = id});
    return event;
}

void SimServices::sleep(std::uint32_t ms) {
    record({.call = Call::Sleep, .value = ms});
    settle();
    // A sleep dispatches nothing, so wakes do not end it.
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
    const auto own = busyByOwner_.find(self);
    return busyCores_ > (own == busyByOwner_.end() ? 0 : own->second);
}

void SimServices::recountLocked(WindowCore& core) {
    const bool busy = !core.destroyed && (!core.queue.empty() || core.dispatching > 0);
    if (busy == core.countedBusy) return;
    core.countedBusy = busy;
    const int step = busy ? 1 : -1;
    busyCores_ += step;
    if ((busyByOwner_[core.owner] += step) == 0) busyByOwner_.erase(core.owner);
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
    recountLocked(*core);
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
    recountLocked(*core);
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
    if (!queued()) {
        // Woken alone: many threads may wait here at once (a watcher per device).
        std::condition_variable arrived;
        dispatchWaits_[self] = &arrived;
        if (maxWaitMs == kInfinite) {
            arrived.wait(lock, queued);
        } else {
            arrived.wait_for(lock, std::chrono::milliseconds(maxWaitMs), queued);
        }
        dispatchWaits_.erase(self);
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
    messageQueued(std::this_thread::get_id());
}

void SimServices::messageQueued(std::thread::id owner) {
    {
        std::lock_guard lock(mutex_);
        if (const auto found = dispatchWaits_.find(owner); found != dispatchWaits_.end()) {
            found->second->notify_one();
        }
    }
    // An owner waiting on an event dispatches its window's messages in that wait.
    timeline_.wake(owner);
}

namespace {

class SimClockShare final : public ClockShare {
public:
    explicit SimClockShare(VirtualTimeline& timeline) : lane_(timeline) {}
    void attach() override { lane_.attach(); }

private:
    VirtualTimeline::Lane lane_;
};

}  // namespace

std::unique_ptr<ClockShare> SimServices::shareClock() {
    return std::make_unique<SimClockShare>(timeline_);
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
