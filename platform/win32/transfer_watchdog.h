// A time limit for device transfers. Each transfer is issued as overlapped I/O on a handle opened
// with FILE_FLAG_OVERLAPPED; when it has not ended within the limit, exactly that operation is
// cancelled (CancelIoEx), again and again until the driver has completed it, and its outcome is
// then read (GetOverlappedResult), usually 995 (ERROR_OPERATION_ABORTED). The OVERLAPPED record
// and the buffer therefore never go out of scope while the system may still write to them.
#pragma once

#include "hid_bus.h"
#include "win32_handles.h"

#include <cstdint>
#include <string>

namespace tolvane::win32 {

// Until the engine gives a transfer another limit.
inline constexpr std::uint32_t kDeviceTransferLimitMs = kDefaultTransferLimitMs;
// Between two cancellations of a transfer whose driver has not completed it yet.
inline constexpr std::uint32_t kCancelRetryMs = 10;

// CancelIoEx's shape, so that a test can stand in for a driver that ignores a cancellation.
using CancelIoFunction = BOOL(WINAPI*)(HANDLE file, LPOVERLAPPED overlapped);

// What the last transfer of the calling thread that ran into its limit went through: the call,
// the limit, how many cancellations it took and how long the driver took to return. Empty when
// the thread's last transfer ended within its limit.
std::string LastTransferLimitDetail();

class TransferWatchdog {
public:
    explicit TransferWatchdog(std::uint32_t limitMs = kDeviceTransferLimitMs,
                              CancelIoFunction cancel = &CancelIoEx) noexcept
        : limitMs_(limitMs), cancel_(cancel) {}
    TransferWatchdog(const TransferWatchdog&) = delete;
    TransferWatchdog& operator=(const TransferWatchdog&) = delete;

    // The limit of every later transfer; INFINITE waits for the driver without one.
    void setLimit(std::uint32_t limitMs) noexcept { limitMs_ = limitMs; }

    // Issues one transfer on `file`: `start(OVERLAPPED*)` makes the overlapped call and answers
    // its BOOL. Returns once the transfer has ended: 0, or the system's error number. `call`
    // names it in LastTransferLimitDetail(). One transfer at a time per watchdog.
    template <typename Start>
    SysError run(HANDLE file, const char* call, Start&& start) {
        OVERLAPPED overlapped{};
        if (const SysError error = prepare(overlapped); error != 0) {
            return error;
        }
        const BOOL started = start(&overlapped);
        return finish(file, call, overlapped, started != FALSE);
    }

private:
    // A reset manual-reset event for the record; made on first use.
    SysError prepare(OVERLAPPED& overlapped) noexcept;
    SysError finish(HANDLE file, const char* call, OVERLAPPED& overlapped, bool started) noexcept;

    std::uint32_t limitMs_;
    CancelIoFunction cancel_;
    UniqueKernelHandle event_;
};

}  // namespace tolvane::win32
