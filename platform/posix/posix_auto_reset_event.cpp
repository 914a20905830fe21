#include "posix_auto_reset_event.h"

#include <chrono>

namespace tolvane::posix {

PosixAutoResetEvent::PosixAutoResetEvent() : state_(std::make_shared<State>()) {}

SysError PosixAutoResetEvent::signal() {
    {
        std::lock_guard lock(state_->mutex);
        if (state_->closed) {
            return kErrorInvalidHandle;
        }
        state_->signaled = true;
    }
    state_->changed.notify_one();
    return 0;
}

WaitResult PosixAutoResetEvent::wait(std::uint32_t timeoutMs) {
    const std::shared_ptr<State> state = state_;
    std::unique_lock lock(state->mutex);
    const auto ready = [&state] { return state->signaled || state->closed; };
    if (timeoutMs == kInfinite) {
        state->changed.wait(lock, ready);
    } else {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        if (!state->changed.wait_until(lock, deadline, ready)) {
            return WaitResult::TimedOut;
        }
    }
    if (state->closed) {
        return WaitResult::Failed;
    }
    state->signaled = false;
    return WaitResult::Signaled;
}

SysError PosixAutoResetEvent::close() {
    {
        std::lock_guard lock(state_->mutex);
        state_->closed = true;
        state_->signaled = false;
    }
    state_->changed.notify_all();
    return 0;
}

}  // namespace tolvane::posix
