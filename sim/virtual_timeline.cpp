#include "virtual_timeline.h"

#include <algorithm>

namespace tolvane::sim {

std::uint64_t VirtualTimeline::nowMs() {
    std::lock_guard lock(mutex_);
    return now_;
}

void VirtualTimeline::schedule(std::uint64_t atMs, std::function<void()> action) {
    std::lock_guard lock(mutex_);
    actions_.emplace(std::make_pair(atMs, nextSequence_++), std::move(action));
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

bool VirtualTimeline::othersRunningLocked() const {
    const auto self = std::this_thread::get_id();
    return std::any_of(running_.begin(), running_.end(),
                       [self](std::thread::id id) { return id != self; });
}

void VirtualTimeline::advanceTo(std::uint64_t atMs) {
    const auto self = std::this_thread::get_id();
    for (;;) {
        std::function<void()> action;
        std::function<void()> hook;
        {
            std::unique_lock lock(mutex_);
            auto first = actions_.begin();
            if (first == actions_.end() || first->first.first > atMs) {
                if (othersRunningLocked()) {
                    // It may schedule something due before atMs: look again once it has ended.
                    actionEnded_.wait(lock, [this] { return !othersRunningLocked(); });
                    continue;
                }
                now_ = std::max(now_, atMs);
                return;
            }
            now_ = std::max(now_, first->first.first);
            action = std::move(first->second);
            actions_.erase(first);
            hook = afterAction_;
            running_.push_back(self);
        }
        action();
        {
            std::lock_guard lock(mutex_);
            running_.erase(std::find(running_.begin(), running_.end(), self));
        }
        actionEnded_.notify_all();
        if (hook) hook();
    }
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
