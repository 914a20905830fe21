// The simulator's sense of time: what the simulated bus reads as "now", where it schedules the
// things a device does later (leave, arrive), and how it spends the time a report takes. One
// implementation runs on a virtual clock (nothing sleeps), one on the real steady clock.
#pragma once

#include <cstdint>
#include <functional>

namespace tolvane::sim {

class Timeline {
public:
    virtual ~Timeline() = default;

    // Milliseconds since the timeline began.
    virtual std::uint64_t nowMs() = 0;
    // Runs `action` once the timeline reaches `atMs` (at once if that moment has passed). Actions
    // due at the same moment run in the order they were scheduled. An action may schedule more.
    virtual void schedule(std::uint64_t atMs, std::function<void()> action) = 0;
    // Lets `ms` milliseconds pass on the calling thread.
    virtual void spend(std::uint32_t ms) = 0;
    // Drops every action not yet run and returns once none is running (unless called from within
    // an action). The owner of scheduled actions calls it before it goes away.
    virtual void cancelAll() = 0;
    // Lets other threads handle what the caller has just caused (on the virtual clock: the
    // windows of other threads dispatch their queued notifications) before the caller goes on.
    virtual void settle() {}
};

}  // namespace tolvane::sim
