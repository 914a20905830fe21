// A timeline on a virtual clock: time moves only when a thread advances it, and scheduled actions
// run on the advancing thread as the clock passes them. Nothing sleeps in real time.
#pragma once

#include "timeline.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>
#include <vector>

namespace tolvane::sim {

class VirtualTimeline final : public Timeline {
public:
    VirtualTimeline() = default;
    VirtualTimeline(const VirtualTimeline&) = delete;
    VirtualTimeline& operator=(const VirtualTimeline&) = delete;

    std::uint64_t nowMs() override;
    void schedule(std::uint64_t atMs, std::function<void()> action) override;
    // Advances the clock by `ms`, running due actions on the way.
    void spend(std::uint32_t ms) override;
    void cancelAll() override;
    // Runs the after-action hook.
    void settle() override;

    // Moves the clock to `atMs` (never backwards), running every action due at or before it, each
    // at its own moment, in time order.
    void advanceTo(std::uint64_t atMs);
    void advanceBy(std::uint64_t ms) { advanceTo(nowMs() + ms); }
    // Runs the actions already due without moving the clock.
    void runDue() { advanceTo(nowMs()); }
    // The moment of the earliest action not yet run.
    std::optional<std::uint64_t> nextDueMs();
    std::size_t pendingActions();

    // Called on the advancing thread after each action, e.g. to let other threads handle what the
    // action caused before the clock moves on.
    void setAfterActionHook(std::function<void()> hook);

private:
    // Whether a thread other than the caller is running an action it has taken. Caller holds
    // mutex_.
    bool othersRunningLocked() const;

    std::mutex mutex_;
    std::condition_variable actionEnded_;
    // Threads running an action now, once per action. Several threads may advance the clock at
    // once (updates of several devices in parallel): the clock must not pass the moment of an
    // action that another thread has taken and not finished, since what it schedules or signals
    // belongs before that moment.
    std::vector<std::thread::id> running_;
    std::uint64_t now_ = 0;
    std::uint64_t nextSequence_ = 0;
    // Keyed by (due time, sequence), so equal times keep their scheduling order.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::function<void()>> actions_;
    std::function<void()> afterAction_;
};

}  // namespace tolvane::sim
