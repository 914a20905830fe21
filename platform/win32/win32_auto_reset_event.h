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

    WaitResult wait(std::uint32_t timeoutMs) override {
        switch (WaitForSingleObject(event_.get(), timeoutMs)) {
            case WAIT_OBJECT_0:
                return WaitResult::Signaled;
            case WAIT_TIMEOUT:
                return WaitResult::TimedOut;
            default:
                return WaitResult::Failed;
        }
    }

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
