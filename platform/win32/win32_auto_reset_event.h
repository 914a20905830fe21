// An auto-reset event of the Windows kernel.
#pragma once

#include "system_services.h"
#include "win32_error.h"
#include "win32_handles.h"

#include <mutex>

namespace tolvane::win32 {

// The engine shares the event with a wait in progress, so close() may come from another thread
// while a wait uses the handle: the handle is then only marked closed and woken, and the last
// wait to end closes it (closing a handle under a wait is undefined).
class Win32AutoResetEvent final : public AutoResetEvent {
public:
    explicit Win32AutoResetEvent(UniqueKernelHandle event) noexcept : event_(std::move(event)) {}

    SysError signal() override;

    // WaitForSingleObject. On a thread that owns a notification window, whose notifications
    // would otherwise wait for this very thread, the wait dispatches what Windows dispatches in a
    // modal wait: messages sent from other threads, and the messages posted to that thread's
    // notification windows. Messages posted to the host's other windows stay queued for its own
    // loop, so none of its handlers run inside a reset. A wait that the event's closing ends
    // answers Failed.
    WaitResult wait(std::uint32_t timeoutMs) override;

    // CloseHandle, or, while a wait uses the handle, wakes it and leaves the closing to it.
    SysError close() override;

private:
    std::mutex mutex_;
    UniqueKernelHandle event_;
    int waiters_ = 0;      // under mutex_
    bool closed_ = false;  // under mutex_
};

}  // namespace tolvane::win32
