#include "win32_auto_reset_event.h"

#include "win32_notify_window.h"

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

// Waits for the event while retrieving and dispatching the calling thread's messages. A WM_QUIT
// met on the way is posted again once the wait ends, for the thread's own loop to see.
WaitResult WaitDispatching(HANDLE event, std::uint32_t timeoutMs) {
    const ULONGLONG start = GetTickCount64();
    const auto remainingMs = [&]() -> DWORD {
        if (timeoutMs == INFINITE) {
            return INFINITE;
        }
        const ULONGLONG elapsed = GetTickCount64() - start;
        return elapsed >= timeoutMs ? 0 : static_cast<DWORD>(timeoutMs - elapsed);
    };
    bool quit = false;
    int quitCode = 0;
    WaitResult result = WaitResult::TimedOut;
    for (;;) {
        const DWORD status =
            MsgWaitForMultipleObjectsEx(1, &event, remainingMs(), QS_ALLINPUT, MWMO_INPUTAVAILABLE);
        if (status != WAIT_OBJECT_0 + 1) {
            result = WaitResultOf(status);
            break;
        }
        MSG message{};
        while (!quit && PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
            if (message.message == WM_QUIT) {
                quit = true;
                quitCode = static_cast<int>(message.wParam);
                break;
            }
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
        if (quit) {
            // Without its loop the thread cannot go on dispatching: only the event counts now.
            result = WaitResultOf(WaitForSingleObject(event, remainingMs()));
            break;
        }
    }
    if (quit) {
        PostQuitMessage(quitCode);
    }
    return result;
}

}  // namespace

WaitResult Win32AutoResetEvent::wait(std::uint32_t timeoutMs) {
    if (CallingThreadOwnsNotifyWindow()) {
        return WaitDispatching(event_.get(), timeoutMs);
    }
    return WaitResultOf(WaitForSingleObject(event_.get(), timeoutMs));
}

}  // namespace tolvane::win32
