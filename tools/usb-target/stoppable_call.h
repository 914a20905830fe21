// A blocking system call that a stop signal ends for certain. A stop signal ends a blocked call
// with EINTR, but one taken just after the caller last looked at its stop flag and before the
// call began is lost, and the call then blocks until something else ends it: on FunctionFS's
// ep0, an answer the host no longer waits for blocks until the host's next request, which may
// never come. So while the call blocks, the thread is also woken at a short period by a signal
// that does nothing (ThreadWakeups), and the call is made again unless the flag is set.
#pragma once

#include <sys/types.h>
#include <time.h>

#include <cerrno>
#include <chrono>
#include <csignal>

namespace tolvane::usb {

// While it lives, the thread that made it gets a signal (SIGALRM, whose handler does nothing)
// every `period`, which ends a blocking call of that thread with EINTR. Other threads are not
// touched. Without a timer from the system it does nothing.
class ThreadWakeups {
public:
    explicit ThreadWakeups(std::chrono::milliseconds period);
    ThreadWakeups(const ThreadWakeups&) = delete;
    ThreadWakeups& operator=(const ThreadWakeups&) = delete;
    ~ThreadWakeups();

private:
    timer_t timer_{};
    bool made_ = false;
};

inline constexpr std::chrono::milliseconds kStopCheckPeriod{100};

// Makes `call` (answering a count, or -1 with errno) until it ends otherwise than by EINTR or
// `stop` is set; then -1 with errno EINTR.
template <typename Call>
ssize_t CallUntilStopped(const volatile std::sig_atomic_t& stop, Call call,
                         std::chrono::milliseconds period = kStopCheckPeriod) {
    const ThreadWakeups wakeups(period);
    for (;;) {
        if (stop != 0) {
            errno = EINTR;
            return -1;
        }
        const ssize_t result = call();
        if (result >= 0 || errno != EINTR) return result;
    }
}

}  // namespace tolvane::usb
