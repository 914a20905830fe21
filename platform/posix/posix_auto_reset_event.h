// An auto-reset event on a mutex and a condition variable, timed on the steady clock.
#pragma once

#include "system_services.h"

#include <condition_variable>
#include <memory>
#include <mutex>

namespace tolvane::posix {

class PosixAutoResetEvent final : public AutoResetEvent {
public:
    PosixAutoResetEvent();
    PosixAutoResetEvent(const PosixAutoResetEvent&) = delete;
    PosixAutoResetEvent& operator=(const PosixAutoResetEvent&) = delete;

    // Fails with kErrorInvalidHandle once the event is closed.
    SysError signal() override;
    // Failed at once on a closed event; a wait in progress ends with Failed when the event is
    // closed from another thread. TimedOut is never answered before the time-out has passed.
    WaitResult wait(std::uint32_t timeoutMs) override;
    SysError close() override;

private:
    struct State {
        std::mutex mutex;
        std::condition_variable changed;
        bool signaled = false;
        bool closed = false;
    };
    // Shared with every wait in progress, so that a waiter woken by close() can still leave its
    // wait when the event object is released right after closing.
    std::shared_ptr<State> state_;
};

}  // namespace tolvane::posix
