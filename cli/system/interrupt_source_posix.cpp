// Signals on POSIX systems: blocked in every thread and taken by one thread of their own with
// sigwait, so nothing runs in signal context and no call of the tool is cut short by EINTR.
#include "system/interrupt_source.h"

#include <pthread.h>
#include <csignal>
#include <mutex>
#include <thread>

namespace tolvane::cli {
namespace {

constexpr int kInterruptSignals[] = {SIGINT, SIGTERM, SIGHUP};

bool IsIgnored(int signal) {
    struct sigaction current {};
    return sigaction(signal, nullptr, &current) == 0 && current.sa_handler == SIG_IGN;
}

class SignalInterrupts final : public InterruptSource {
public:
    SignalInterrupts() {
        std::signal(SIGPIPE, SIG_IGN);
        sigemptyset(&signals_);
        for (const int signal : kInterruptSignals) {
            // A signal the process was started with ignored (a background job of a shell) stays
            // ignored, as the one who started it asked.
            if (!IsIgnored(signal)) sigaddset(&signals_, signal);
        }
        if (sigisemptyset(&signals_)) return;
        pthread_sigmask(SIG_BLOCK, &signals_, nullptr);
        thread_ = std::thread([this] { run(); });
    }

    // The signals stay blocked: one that arrives while the tool ends must not kill it after
    // it has decided its exit code.
    ~SignalInterrupts() override {
        if (!thread_.joinable()) return;
        {
            const std::lock_guard lock(mutex_);
            stopping_ = true;
        }
        // Wakes the waiting thread with a signal of its set; it sees `stopping_` and ends.
        pthread_kill(thread_.native_handle(), wakeSignal());
        thread_.join();
    }
    SignalInterrupts(const SignalInterrupts&) = delete;
    SignalInterrupts& operator=(const SignalInterrupts&) = delete;

    void setHandler(Handler handler) override {
        const std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
    }

private:
    int wakeSignal() const {
        for (const int signal : kInterruptSignals) {
            if (sigismember(&signals_, signal) == 1) return signal;
        }
        return SIGINT;
    }

    void run() {
        for (;;) {
            int signal = 0;
            if (sigwait(&signals_, &signal) != 0) continue;
            const std::lock_guard lock(mutex_);
            if (stopping_) return;
            if (handler_) handler_();
        }
    }

    sigset_t signals_{};
    std::mutex mutex_;
    bool stopping_ = false;
    Handler handler_;
    std::thread thread_;
};

}  // namespace

std::unique_ptr<InterruptSource> CatchInterrupts() {
    return std::make_unique<SignalInterrupts>();
}

}  // namespace tolvane::cli
