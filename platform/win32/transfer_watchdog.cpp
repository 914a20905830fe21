#include "transfer_watchdog.h"

#include "win32_error.h"

#include <cstdio>

namespace tolvane::win32 {
namespace {

// A fixed buffer, not a std::string: a thread_local with a destructor would make the runtime pin
// this module for as long as the thread lives, so a library caller could never unload it.
thread_local char lastLimitDetail[192];

void NoteLimit(const char* call, std::uint32_t limitMs, int cancels, ULONGLONG returnedAfterMs) {
    std::snprintf(lastLimitDetail, sizeof lastLimitDetail,
                  "%s: no answer within %lu ms; cancelled (CancelIoEx, %d %s), the driver returned "
                  "it %llu ms later",
                  call, static_cast<unsigned long>(limitMs), cancels,
                  cancels == 1 ? "request" : "requests",
                  static_cast<unsigned long long>(returnedAfterMs));
}

}  // namespace

std::string LastTransferLimitDetail() {
    return lastLimitDetail;
}

SysError TransferWatchdog::prepare(OVERLAPPED& overlapped) noexcept {
    if (!event_) {
        event_.reset(CreateEventW(nullptr, TRUE, FALSE, nullptr));
        if (!event_) {
            return LastFailure();
        }
    } else if (!ResetEvent(event_.get())) {
        return LastFailure();
    }
    overlapped.hEvent = event_.get();
    lastLimitDetail[0] = '\0';
    return 0;
}

SysError TransferWatchdog::finish(HANDLE file, const char* call, OVERLAPPED& overlapped,
                                  bool started) noexcept {
    if (!started) {
        const DWORD error = GetLastError();
        if (error != ERROR_IO_PENDING) {
            return error != 0 ? error : kErrorGenFailure;
        }
    }
    if (WaitForSingleObject(event_.get(), limitMs_) == WAIT_TIMEOUT) {
        // Cancels this one operation until its driver has completed it: the record and the
        // buffer must outlive it. A driver may ignore a cancellation that comes too early.
        const ULONGLONG cancelledAt = GetTickCount64();
        int cancels = 0;
        do {
            cancel_(file, &overlapped);
            ++cancels;
        } while (WaitForSingleObject(event_.get(), kCancelRetryMs) == WAIT_TIMEOUT);
        NoteLimit(call, limitMs_, cancels, GetTickCount64() - cancelledAt);
    }
    DWORD transferred = 0;
    if (!GetOverlappedResult(file, &overlapped, &transferred, TRUE)) {
        return LastFailure();
    }
    return 0;
}

}  // namespace tolvane::win32
