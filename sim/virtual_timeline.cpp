#include "virtual_timeline.h"

#include <algorithm>

namespace tolvane::sim {

VirtualTimeline::Lane::Lane(VirtualTimeline& timeline) : timeline_(timeline) {
    timeline_.laneOpened();
}

VirtualTimeline::Lane::~Lane() {
    timeline_.laneClosed(thread_);
}

void VirtualTimeline::Lane::attach() {
    if (thread_) return;
    thread_ = std::this_thread::get_id();
    timeline_.laneAttached(*thread_);
}

void VirtualTimeline::laneOpened() {
    std::lock_guard lock(mutex_);
    ++lanesWorking_;
}

void VirtualTimeline::laneAttached(std::thread::id thread) {
    std::lock_guard lock(mutex_);
    laneThreads_.insert(thread);
}

void VirtualTimeline::laneClosed(std::optional<std::thread::id> thread) {
    std::lock_guard lock(mutex_);
    if (thread) laneThreads_.erase(*thread);
    --lanesWorking_;
    handOffLocked({});
}

std::uint64_t VirtualTimeline::nowMs() {
    std::lock_guard lock(mutex_);
    return now_;
}

void VirtualTimeline::schedule(std::uint64_t atMs, std::function<void()> action) {
    std::lock_guard lock(mutex_);
    actions_.emplace(std::make_pair(atMs, nextSequence_++), std::move(action));
    // A wait that nothing could end may now end.
    handOffLocked(std::this_thread::get_id());
}

void VirtualTimeline::spend(std::uint32_t ms) {
    advanceBy(ms);
}

void VirtualTimeline::cancelAll() {
    std::lock_guard lock(mutex_);
    actions_.clear();
}

void VirtualTimeline::settle() {
    std::function<void()> hook;
    {
        std::lock_guard lock(mutex_);
        hook = afterAction_;
    }
    if (hook) hook();
}

void VirtualTimeline::advanceTo(std::uint64_t atMs) {
    // Wakes are for waits that look at something; this one only counts time.
    while (waitUntil(atMs, std::chrono::milliseconds(0)) == Wakeup::Woken) {
    }
}

bool VirtualTimeline::mayAdvanceLocked() const {
    return lanesWorking_ == 0 && !advancing_;
}

void VirtualTimeline::releaseLocked(std::thread::id thread, Waiter& waiter, Wakeup reason) {
    if (waiter.released) return;
    waiter.released = true;
    waiter.reason = reason;
    deadlines_.erase({waiter.deadline, thread});
    if (waiter.lane) ++lanesWorking_;
    waiter.changed.notify_one();
}

void VirtualTimeline::handOffLocked(std::thread::id except) {
    if (!mayAdvanceLocked()) return;
    for (auto& [thread, waiter] : waiters_) {
        if (thread != except && !waiter->released) {
            waiter->changed.notify_one();
            return;
        }
    }
}

bool VirtualTimeline::advanceStep(std::unique_lock<std::mutex>& lock) {
    const std::uint64_t nextAction = actions_.empty() ? kNever : actions_.begin()->first.first;
    const std::uint64_t nextDeadline = deadlines_.empty() ? kNever : deadlines_.begin()->first;
    if (nextAction == kNever && nextDeadline == kNever) return false;
    if (nextAction <= nextDeadline) {
        now_ = std::max(now_, nextAction);
        std::function<void()> action = std::move(actions_.begin()->second);
        actions_.erase(actions_.begin());
        std::function<void()> hook = afterAction_;
        advancing_ = true;
        lock.unlock();
        action();
        if (hook) hook();
        lock.lock();
        advancing_ = false;
        return true;
    }
    now_ = std::max(now_, nextDeadline);
    while (!deadlines_.empty() && deadlines_.begin()->first <= now_) {
        const std::thread::id thread = deadlines_.begin()->second;
        releaseLocked(thread, *waiters_.at(thread), Wakeup::Deadline);
    }
    return true;
}

VirtualTimeline::Wakeup VirtualTimeline::waitUntil(std::uint64_t deadlineMs,
                                                   std::chrono::milliseconds stuckLimit) {
    const auto self = std::this_thread::get_id();
    std::unique_lock lock(mutex_);
    if (pendingWakes_.erase(self) > 0) return Wakeup::Woken;
    auto owned = std::make_unique<Waiter>();
    Waiter& waiter = *owned;
    waiter.deadline = deadlineMs;
    waiter.lane = laneThreads_.contains(self);
    waiters_[self] = std::move(owned);
    deadlines_.insert({deadlineMs, self});
    if (waiter.lane) --lanesWorking_;
    auto stuckSince = std::chrono::steady_clock::now();
    while (!waiter.released) {
        if (mayAdvanceLocked()) {
            if (advanceStep(lock)) {
                stuckSince = std::chrono::steady_clock::now();
                continue;
            }
            // Nothing on the clock: only another thread can end this wait.
            if (std::chrono::steady_clock::now() - stuckSince >= stuckLimit) {
                releaseLocked(self, waiter, Wakeup::Stuck);
                break;
            }
            waiter.changed.wait_until(lock, stuckSince + stuckLimit);
            continue;
        }
        stuckSince = std::chrono::steady_clock::now();
        waiter.changed.wait(lock);
    }
    const Wakeup reason = waiter.reason;
    waiters_.erase(self);
    // This thread leaves the clock: another waiting thread moves it on if it may.
    handOffLocked(self);
    return reason;
}

void VirtualTimeline::wake(std::thread::id thread) {
    std::lock_guard lock(mutex_);
    const auto found = waiters_.find(thread);
    if (found == waiters_.end() || found->second->released) {
        pendingWakes_.insert(thread);
        return;
    }
    releaseLocked(thread, *found->second, Wakeup::Woken);
}

std::optional<std::uint64_t> VirtualTimeline::nextDueMs() {
    std::lock_guard lock(mutex_);
    if (actions_.empty()) return std::nullopt;
    return actions_.begin()->first.first;
}

std::size_t VirtualTimeline::pendingActions() {
    std::lock_guard lock(mutex_);
    return actions_.size();
}

void VirtualTimeline::setAfterActionHook(std::function<void()> hook) {
    std::lock_guard lock(mutex_);
    afterAction_ = std::move(hook);
}

}  // namespace tolvane::sim
