#include "sim_event.h"

#include "sim_services.h"

#include <chrono>
#include <mutex>
#include <optional>
#include <thread>

namespace tolvane::sim {

class SimEvent final : public AutoResetEvent {
public:
    SimEvent(SimServices& services, std::uint32_t id) : services_(services), id_(id) {}
    ~SimEvent() override { close(); }
    SimEvent(const SimEvent&) = delete;
    SimEvent& operator=(const SimEvent&) = delete;

    SysError signal() override {
        SysError error = 0;
        std::optional<std::thread::id> waiter;
        {
            std::lock_guard lock(services_.mutex_);
            if (closed_) {
                error = kErrorInvalidHandle;
            } else {
                signaled_ = true;
                waiter = waiter_;
            }
        }
        if (waiter) services_.timeline_.wake(*waiter);
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
        std::optional<std::thread::id> waiter;
        {
            std::lock_guard lock(services_.mutex_);
            if (closed_) return 0;
            closed_ = true;
            --services_.eventsHeld_;
            waiter = waiter_;
        }
        if (waiter) services_.timeline_.wake(*waiter);
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
        const std::uint64_t deadline =
            timeoutMs == kInfinite ? VirtualTimeline::kNever : clock.nowMs() + timeoutMs;
        for (;;) {
            services_.settle();
            // On the window's own thread the wait hands the window its notifications, as
            // Windows delivers sent messages during a wait; the host's messages stay queued.
            services_.dispatchOwnWindowMessages();
            std::chrono::milliseconds stuckLimit{};
            {
                std::lock_guard lock(services_.mutex_);
                waiter_.reset();
                if (closed_) return WaitResult::Failed;
                if (takeLocked()) return WaitResult::Signaled;
                waiter_ = std::this_thread::get_id();
                stuckLimit = services_.safetyLimit_;
            }
            switch (clock.waitUntil(deadline, stuckLimit)) {
                case VirtualTimeline::Wakeup::Woken:
                    continue;
                case VirtualTimeline::Wakeup::Deadline:
                    break;
                case VirtualTimeline::Wakeup::Stuck: {
                    // Nothing on the clock and no other thread ended this wait.
                    std::lock_guard lock(services_.mutex_);
                    waiter_.reset();
                    return takeLocked() ? WaitResult::Signaled : WaitResult::Failed;
                }
            }
            services_.settle();
            services_.dispatchOwnWindowMessages();
            std::lock_guard lock(services_.mutex_);
            waiter_.reset();
            return takeLocked() ? WaitResult::Signaled : WaitResult::TimedOut;
        }
    }

    SimServices& services_;
    const std::uint32_t id_;
    bool signaled_ = false;  // guarded by the services' mutex
    bool closed_ = false;
    std::optional<std::thread::id> waiter_;  // the thread in wait(), guarded likewise
};

std::unique_ptr<AutoResetEvent> MakeSimEvent(SimServices& services, std::uint32_t id) {
    return std::make_unique<SimEvent>(services, id);
}

}  // namespace tolvane::sim
