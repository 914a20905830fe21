#include "posix_auto_reset_event.h"

#include <chrono>

namespace tolvane::posix {

SysError PosixAutoResetEvent::signal() {
    {
        std::lock_guard lock(mutex_);
        if (closed_) {
            return kErrorInvalidHandle;
        }
        signaled_ = true;
    }
    changed_.notify_one();
    return 0;
}

WaitResult PosixAutoResetEvent::wait(std::uint32_t timeoutMs) {
    std::unique_lock lock(mutex_);
    const auto ready = [this] { return signaled_ || closed_; };
    if (timeoutMs == kInfinite) {
        changed_.wait(lock, ready);
    } else {
        const auto deadline =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
        if (!changed_.wait_until(lock, deadline, ready)) {
            return WaitResult::TimedOut;
        }
    }
    if (closed_) {
        return WaitResult::Failed;
    }
    signaled_ = false;
    return WaitResult::Signaled;
}

SysError PosixAutoResetEvent::close() {
    {
        std::lock_guard lock(mutex_);
        closed_ = true;
        signaled_ = false;
    }
    changed_.notify_all();
    return 0;
}

}  // namespace tolvane::posix
