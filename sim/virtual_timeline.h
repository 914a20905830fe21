// A timeline on a virtual clock: time moves only while the threads that use it wait, and
// scheduled actions run, one at a time, on a waiting thread as the clock reaches them. Nothing
// sleeps in real time.
//
// Lanes: a thread that does a part of the run (one device's update among several) holds a lane.
// The clock does not move while a lane's thread works, only while every lane's thread waits; so
// a wait of N ms on a lane lasts exactly N ms of the clock, whatever the other lanes do, and each
// lane's times are its own and the same on every run. A thread without a lane (a test's own
// thread, one single update) does not hold the clock while it works, as a lone thread needs no
// such care.
#pragma once

#include "timeline.h"

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <limits>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <thread>
#include <utility>

namespace tolvane::sim {

class VirtualTimeline final : public Timeline {
public:
    static constexpr std::uint64_t kNever = std::numeric_limits<std::uint64_t>::max();

    // A share of the clock for one thread: while it lives and its thread is not waiting on the
    // clock, the clock stands still. It holds the clock from the moment it is opened, so a thread
    // starting up is waited for; the thread then calls attach() once.
    class Lane {
    public:
        explicit Lane(VirtualTimeline& timeline);
        // Lets the clock go on without this thread.
        ~Lane();
        Lane(const Lane&) = delete;
        Lane& operator=(const Lane&) = delete;
        // Binds the lane to the calling thread.
        void attach();

    private:
        VirtualTimeline& timeline_;
        std::optional<std::thread::id> thread_;
    };

    enum class Wakeup {
        Woken,     // wake() was called for this thread
        Deadline,  // the clock reached the deadline
        Stuck,     // nothing on the clock could end the wait within the real-time limit
    };

    VirtualTimeline() = default;
    VirtualTimeline(const VirtualTimeline&) = delete;
    VirtualTimeline& operator=(const VirtualTimeline&) = delete;

    std::uint64_t nowMs() override;
    void schedule(std::uint64_t atMs, std::function<void()> action) override;
    // Waits until the clock has moved on by `ms`.
    void spend(std::uint32_t ms) override;
    void cancelAll() override;
    // Runs the after-action hook.
    void settle() override;

    // Waits until the clock reaches `atMs` (never backwards); every action due at or before it
    // has run by then, each at its own moment, in time order.
    void advanceTo(std::uint64_t atMs);
    void advanceBy(std::uint64_t ms) { advanceTo(nowMs() + ms); }
    // Runs the actions already due without moving the clock.
    void runDue() { advanceTo(nowMs()); }
    // The moment of the earliest action not yet run.
    std::optional<std::uint64_t> nextDueMs();
    std::size_t pendingActions();

    // Blocks the calling thread until wake() is called for it (also before this call, once) or
    // the clock reaches `deadlineMs` (kNever: no deadline) with every action due by then run.
    // Moves the clock itself when no lane's thread is working. `stuckLimit` bounds in real time
    // a wait that nothing on the clock can end.
    Wakeup waitUntil(std::uint64_t deadlineMs, std::chrono::milliseconds stuckLimit);
    // Ends the wait of `thread` (Woken), or the next one it starts.
    void wake(std::thread::id thread);

    // Called on the advancing thread after each action, e.g. to let other threads handle what the
    // action caused before the clock moves on.
    void setAfterActionHook(std::function<void()> hook);

private:
    struct Waiter {
        std::uint64_t deadline = kNever;
        bool lane = false;
        bool released = false;
        Wakeup reason = Wakeup::Woken;
        std::condition_variable changed;
    };

    // Whether the clock may move now. Caller holds mutex_.
    bool mayAdvanceLocked() const;
    // Ends a wait; a lane's thread holds the clock again at once. Caller holds mutex_.
    void releaseLocked(std::thread::id thread, Waiter& waiter, Wakeup reason);
    // Runs the next action or moves the clock to the next deadline; false when neither exists.
    // Releases the lock while an action runs.
    bool advanceStep(std::unique_lock<std::mutex>& lock);
    // Hands the clock to one waiting thread when it may move and the caller will not move it.
    void handOffLocked(std::thread::id except);

    void laneOpened();
    void laneAttached(std::thread::id thread);
    void laneClosed(std::optional<std::thread::id> thread);

    std::mutex mutex_;
    std::uint64_t now_ = 0;
    std::uint64_t nextSequence_ = 0;
    // Keyed by (due time, sequence), so equal times keep their scheduling order.
    std::map<std::pair<std::uint64_t, std::uint64_t>, std::function<void()>> actions_;
    std::function<void()> afterAction_;
    bool advancing_ = false;  // a thread is running an action and its hook
    int lanesWorking_ = 0;    // lanes opened whose threads are not waiting
    std::set<std::thread::id> laneThreads_;
    std::map<std::thread::id, std::unique_ptr<Waiter>> waiters_;
    std::set<std::pair<std::uint64_t, std::thread::id>> deadlines_;  // of waiters not released
    std::set<std::thread::id> pendingWakes_;                         // woken while not waiting
};

}  // namespace tolvane::sim
