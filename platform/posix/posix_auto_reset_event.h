// An auto-reset event on a mutex and a condition variable, timed on the steady clock.
#pragma once

#include "system_services.h"

#include <condition_variable>
#include <mutex>

namespace tolvane::posix {

class PosixAutoResetEvent final : public AutoResetEvent {
public:
    PosixAutoResetEvent() = default;
    PosixAutoResetEvent(const PosixAutoResetEvent&) = delete;
    PosixAutoResetEvent& operator=(const PosixAutoResetEvent&) = delete;

    // Fails with kErrorInvalidHandle once the event is closed.
    SysError signal() override;
    // Failed at once on a closed event; a wait in progress ends with Failed when the event is
    // closed from another thread. TimedOut is never answered before the time-out has passed.
    WaitResult wait(std::uint32_t timeoutMs) override;
    SysError close() override;

private:
    std::mutex mutex_;
    std::condition_variable changed_;
    bool signaled_ = false;
    bool closed_ = false;
};

}  // namespace tolvane::posix
