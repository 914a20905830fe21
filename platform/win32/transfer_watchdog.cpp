#include "transfer_watchdog.h"

namespace tolvane::win32 {
namespace {

// Between attempts of a cancellation that found no I/O yet (the transfer had not reached the
// driver when the limit passed).
constexpr DWORD kCancelRetryMs = 10;

}  // namespace

TransferWatchdog::TransferWatchdog(std::uint32_t limitMs) noexcept
    : limitMs_(limitMs), timer_(CreateThreadpoolTimer(&OnLimit, this, nullptr)) {}

bool TransferWatchdog::arm() noexcept {
    if (!timer_) {
        return false;
    }
    const DWORD self = GetCurrentThreadId();
    if (!thread_ || threadId_ != self) {
        thread_.reset(OpenThread(THREAD_TERMINATE, FALSE, self));
        threadId_ = thread_ ? self : 0;
        if (!thread_) {
            return false;
        }
    }
    {
        const std::lock_guard lock(mutex_);
        transferring_ = true;
    }
    // A negative due time is relative, in 100 ns units.
    ULARGE_INTEGER due{};
    due.QuadPart = static_cast<ULONGLONG>(-static_cast<LONGLONG>(limitMs_) * 10000);
    FILETIME dueTime{due.LowPart, due.HighPart};
    SetThreadpoolTimer(timer_.get(), &dueTime, 0, 0);
    return true;
}

void TransferWatchdog::disarm() noexcept {
    {
        // From here on a callback that fires late cancels nothing.
        const std::lock_guard lock(mutex_);
        transferring_ = false;
    }
    SetThreadpoolTimer(timer_.get(), nullptr, 0, 0);
    WaitForThreadpoolTimerCallbacks(timer_.get(), TRUE);
}

void CALLBACK TransferWatchdog::OnLimit(PTP_CALLBACK_INSTANCE, void* context, PTP_TIMER) {
    static_cast<TransferWatchdog*>(context)->cancelUntilDone();
}

void TransferWatchdog::cancelUntilDone() noexcept {
    for (;;) {
        {
            const std::lock_guard lock(mutex_);
            if (!transferring_) {
                return;
            }
            // Fails with ERROR_NOT_FOUND while the thread has no synchronous I/O in progress.
            if (CancelSynchronousIo(thread_.get())) {
                return;
            }
        }
        Sleep(kCancelRetryMs);
    }
}

}  // namespace tolvane::win32
