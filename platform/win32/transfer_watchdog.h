// A time limit for synchronous device transfers. HidD_SetFeature, HidD_GetFeature and WriteFile
// do not return while a device keeps refusing a transfer; the watchdog cancels the calling
// thread's synchronous I/O (CancelSynchronousIo) once the limit has passed, and the transfer
// fails with what the system answers (995, ERROR_OPERATION_ABORTED).
#pragma once

#include "hid_bus.h"
#include "win32_handles.h"

#include <cstdint>
#include <mutex>

namespace tolvane::win32 {

// As long as Linux's HID driver gives a control transfer.
inline constexpr std::uint32_t kDeviceTransferLimitMs = 5000;

// A thread-pool timer.
struct ThreadpoolTimerTraits {
    using Handle = PTP_TIMER;
    static Handle Invalid() noexcept { return nullptr; }
    static void Release(Handle timer) noexcept {
        SetThreadpoolTimer(timer, nullptr, 0, 0);
        WaitForThreadpoolTimerCallbacks(timer, TRUE);
        CloseThreadpoolTimer(timer);
    }
};
using UniqueThreadpoolTimer = UniqueResource<ThreadpoolTimerTraits>;

class TransferWatchdog {
public:
    // Without a timer (the system gave none) transfers run without a limit.
    explicit TransferWatchdog(std::uint32_t limitMs = kDeviceTransferLimitMs) noexcept;
    TransferWatchdog(const TransferWatchdog&) = delete;
    TransferWatchdog& operator=(const TransferWatchdog&) = delete;

    // Runs `transfer`, a synchronous I/O call made on this thread that answers a SysError, and
    // cancels it when it outlasts the limit. One transfer at a time per watchdog.
    template <typename Transfer>
    SysError run(Transfer&& transfer) {
        const bool armed = arm();
        const SysError result = transfer();
        if (armed) {
            disarm();
        }
        return result;
    }

    bool active() const noexcept { return timer_.valid(); }

private:
    bool arm() noexcept;
    void disarm() noexcept;
    static void CALLBACK OnLimit(PTP_CALLBACK_INSTANCE instance, void* context, PTP_TIMER timer);
    void cancelUntilDone() noexcept;

    std::uint32_t limitMs_;
    // A handle of the thread that runs the transfer, kept while the same thread transfers.
    UniqueKernelHandle thread_;
    DWORD threadId_ = 0;
    std::mutex mutex_;
    bool transferring_ = false;  // under mutex_: the timer cancels only while this is set
    // Declared last: its release waits for a running callback, before the fields it uses go.
    UniqueThreadpoolTimer timer_;
};

}  // namespace tolvane::win32
