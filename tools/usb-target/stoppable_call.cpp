#include "stoppable_call.h"

#include <signal.h>
#include <unistd.h>

// glibc has the field, not always its documented name.
#ifndef sigev_notify_thread_id
#define sigev_notify_thread_id _sigev_un._tid
#endif

namespace tolvane::usb {

namespace {

constexpr int kWakeSignal = SIGALRM;

void Woken(int) {}

timespec TimespecOf(std::chrono::milliseconds period) {
    const auto seconds = std::chrono::duration_cast<std::chrono::seconds>(period);
    return timespec{static_cast<time_t>(seconds.count()),
                    static_cast<long>(std::chrono::nanoseconds(period - seconds).count())};
}

}  // namespace

ThreadWakeups::ThreadWakeups(std::chrono::milliseconds period) {
    // Without SA_RESTART, so that the blocked call returns EINTR rather than blocking on.
    struct sigaction action {};
    action.sa_handler = Woken;
    sigemptyset(&action.sa_mask);
    if (sigaction(kWakeSignal, &action, nullptr) != 0) return;
    sigevent event{};
    event.sigev_notify = SIGEV_THREAD_ID;
    event.sigev_signo = kWakeSignal;
    event.sigev_notify_thread_id = ::gettid();
    if (::timer_create(CLOCK_MONOTONIC, &event, &timer_) != 0) return;
    made_ = true;
    const itimerspec every{TimespecOf(period), TimespecOf(period)};
    (void)::timer_settime(timer_, 0, &every, nullptr);
}

ThreadWakeups::~ThreadWakeups() {
    if (made_) ::timer_delete(timer_);
}

}  // namespace tolvane::usb
