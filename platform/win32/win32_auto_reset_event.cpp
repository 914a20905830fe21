#include "win32_auto_reset_event.h"

#include "win32_notify_window.h"

#include <optional>

namespace tolvane::win32 {
namespace {

WaitResult WaitResultOf(DWORD status) {
    switch (status) {
        case WAIT_OBJECT_0:
            return WaitResult::Signaled;
        case WAIT_TIMEOUT:
            return WaitResult::TimedOut;
        default:
            return WaitResult::Failed;
    }
}

// Handles the messages sent to this thread from others, then retrieves and dispatches what is
// posted to its notification windows (and their button). Nothing else is removed from the queue,
// except a WM_QUIT that a filtered retrieval still returns (Wine does): it is remembered, for the
// wait to post it again when it ends.
void DispatchNotifyMessages(std::optional<int>& quitCode) {
    MSG message{};
    PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE | PM_QS_SENDMESSAGE);
    for (HWND window : NotifyWindowsOfCallingThread()) {
        while (IsWindow(window) && PeekMessageW(&message, window, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quitCode = static_cast<int>(message.wParam);
                continue;
            }
            DispatchMessageW(&message);
        }
    }
}

// Waits for the event while dispatching the notification windows' messages.
WaitResult WaitDispatching(HANDLE event, std::uint32_t timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    const auto remainingMs = [&]() -> DWORD {
        if (timeoutMs == INFINITE) {
            return INFINITE;
        }
        const ULONGLONG elapsed = GetTickCount64() - start;
        return elapsed >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - elapsed);
    };
    std::optional<int> quitCode;
    WaitResult result = WaitResult::TimedOut;
    for (;;) {
        // Marks what is queued now as seen, before it is dispatched: the wait below wakes only for
        // what arrives later, so a host message left in the queue does not wake it again and
        // again, while one of ours that comes after this point always does.
        GetQueueStatus(QS_SENDMESSAGE | QS_POSTMESSAGE);
        DispatchNotifyMessages(quitCode);
        const DWORD status = MsgWaitForMultipleObjectsEx(1, &event, remainingMs(),
                                                         QS_SENDMESSAGE | QS_POSTMESSAGE, 0);
        if (status != WAIT_OBJECT_0 + 1) {
            result = WaitResultOf(status);
            break;
        }
    }
    if (quitCode) {
        PostQuitMessage(*quitCode);
    }
    return result;
}

}  // namespace

SysError Win32AutoResetEvent::signal() {
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return ERROR_INVALID_HANDLE;
    }
    if (!SetEvent(event_.get())) {
        return LastFailure();
    }
    return 0;
}

WaitResult Win32AutoResetEvent::wait(std::uint32_t timeoutMs) {
    HANDLE event = nullptr;
    {
        const std::lock_guard lock(mutex_);
        if (closed_) {
            return WaitResult::Failed;
        }
        ++waiters_;
        event = event_.get();
    }
    WaitResult result = CallingThreadOwnsNotifyWindow()
                            ? WaitDispatching(event, timeoutMs)
                            : WaitResultOf(WaitForSingleObject(event, timeoutMs));
    const std::lock_guard lock(mutex_);
    --waiters_;
    if (closed_) {
        result = WaitResult::Failed;
        if (waiters_ == 0) {
            event_.reset();
        }
    }
    return result;
}

SysError Win32AutoResetEvent::close() {
    const std::lock_guard lock(mutex_);
    if (closed_) {
        return 0;
    }
    closed_ = true;
    if (waiters_ > 0) {
        SetEvent(event_.get());
        return 0;
    }
    if (!CloseHandle(event_.release())) {
        return LastFailure();
    }
    return 0;
}

}  // namespace tolvane::win32
