#include "real_timeline.h"

namespace tolvane::sim {

RealTimeline::RealTimeline()
    : start_(std::chrono::steady_clock::now()), thread_([this] { run(); }) {}

RealTimeline::~RealTimeline() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
        actions_.clear();
    }
    changed_.notify_all();
    thread_.join();
}

std::uint64_t RealTimeline::nowMs() {
    const auto elapsed = std::chrono::steady_clock::now() - start_;
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(elapsed).count());
}

void RealTimeline::schedule(std::uint64_t atMs, std::function<void()> action) {
    {
        std::lock_guard lock(mutex_);
        if (stopping_) return;
        actions_.emplace(std::make_pair(atMs, nextSequence_++), std::move(action));
    }
    changed_.notify_all();
}

void RealTimeline::spend(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

void RealTimeline::cancelAll() {
    std::unique_lock lock(mutex_);
    actions_.clear();
    if (std::this_thread::get_id() == thread_.get_id()) return;
    changed_.wait(lock, [this] { return !running_; });
}

void RealTimeline::run() {
    std::unique_lock lock(mutex_);
    while (!stopping_) {
        if (actions_.empty()) {
            changed_.wait(lock);
            continue;
        }
        const auto due = start_ + std::chrono::milliseconds(actions_.begin()->first.first);
        if (std::chrono::steady_clock::now() < due) {
            changed_.wait_until(lock, due);
            continue;
        }
        auto action = std::move(actions_.begin()->second);
        actions_.erase(actions_.begin());
        running_ = true;
        lock.unlock();
        action();
        lock.lock();
        running_ = false;
        changed_.notify_all();
    }
}

}  // namespace tolvane::sim
