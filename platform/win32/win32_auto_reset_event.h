// An auto-reset event of the Windows kernel.
#pragma once

#include "system_services.h"
#include "win32_error.h"
#include "win32_handles.h"

namespace tolvane::win32 {

class Win32AutoResetEvent final : public AutoResetEvent {
public:
    explicit Win32AutoResetEvent(UniqueKernelHandle event) noexcept : event_(std::move(event)) {}

    SysError signal() override {
        if (!SetEvent(event_.get())) {
            return LastFailure();
        }
        return 0;
    }

    // WaitForSingleObject. On a thread that owns a notification window, whose notifications
    // would otherwise wait for this very thread, the wait dispatches the thread's messages
    // instead (MsgWaitForMultipleObjectsEx), so a caller that uses one thread for everything
    // still sees the change it waits for.
    WaitResult wait(std::uint32_t timeoutMs) override;

    SysError close() override {
        if (!event_) {
            return 0;
        }
        if (!CloseHandle(event_.release())) {
            return LastFailure();
        }
        return 0;
    }

private:
    UniqueKernelHandle event_;
};

}  // namespace tolvane::win32
