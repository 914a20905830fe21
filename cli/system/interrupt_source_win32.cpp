// Ctrl-C and Ctrl-Break of a Windows console. The system calls the routine on a thread it creates
// for the event; answering TRUE keeps the process alive.
#include "system/interrupt_source.h"

#include <windows.h>

#include <mutex>

namespace tolvane::cli {
namespace {

class ConsoleInterrupts;
ConsoleInterrupts* g_instance = nullptr;  // one per process, as the routine takes no context

class ConsoleInterrupts final : public InterruptSource {
public:
    ConsoleInterrupts() {
        g_instance = this;
        installed_ = SetConsoleCtrlHandler(&ConsoleInterrupts::routine, TRUE) != FALSE;
    }
    ~ConsoleInterrupts() override {
        if (installed_) SetConsoleCtrlHandler(&ConsoleInterrupts::routine, FALSE);
        setHandler(nullptr);
        g_instance = nullptr;
    }
    ConsoleInterrupts(const ConsoleInterrupts&) = delete;
    ConsoleInterrupts& operator=(const ConsoleInterrupts&) = delete;

    void setHandler(Handler handler) override {
        const std::lock_guard lock(mutex_);
        handler_ = std::move(handler);
    }

private:
    static BOOL WINAPI routine(DWORD event) {
        if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT) return FALSE;
        ConsoleInterrupts* self = g_instance;
        if (self == nullptr) return FALSE;
        const std::lock_guard lock(self->mutex_);
        if (self->handler_) self->handler_();
        return TRUE;
    }

    std::mutex mutex_;
    Handler handler_;
    bool installed_ = false;
};

}  // namespace

std::unique_ptr<InterruptSource> CatchInterrupts() {
    return std::make_unique<ConsoleInterrupts>();
}

}  // namespace tolvane::cli
