#include "posix_services.h"

#include "posix_auto_reset_event.h"
#include "posix_notify_window.h"
#include "text.h"
#include "thread_message_queue.h"

#include <chrono>
#include <cstdio>
#include <new>
#include <string>
#include <thread>

namespace tolvane::posix {

std::unique_ptr<AutoResetEvent> PosixServices::createEvent(SysError& error) {
    try {
        auto event = std::make_unique<PosixAutoResetEvent>();
        error = 0;
        return event;
    } catch (const std::bad_alloc&) {
        error = kErrorOutOfMemory;
        return nullptr;
    }
}

void PosixServices::sleep(std::uint32_t ms) {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

std::uint64_t PosixServices::nowMs() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(
        std::chrono::duration_cast<std::chrono::milliseconds>(since).count());
}

std::unique_ptr<NotifyWindow> PosixServices::createNotifyWindow(const NotifyWindowSpec& /*config*/,
                                                                DeviceChangeHandler& handler,
                                                                SysError& error) {
    try {
        auto window = std::make_unique<PosixNotifyWindow>(handler, delivery_);
        error = 0;
        return window;
    } catch (const std::bad_alloc&) {
        error = kErrorOutOfMemory;
        return nullptr;
    }
}

void PosixServices::showMessageBox(std::u16string_view text, std::u16string_view caption) {
    try {
        const std::string line = ToUtf8(caption) + ": " + ToUtf8(text) + "\n";
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    } catch (const std::bad_alloc&) {
        // Nothing can be shown without memory; a message box has no result to report.
    }
}

void PosixServices::dispatchMessages(std::uint32_t maxWaitMs) {
    ThreadMessageQueue::ForCurrentThread()->dispatch(maxWaitMs);
}

}  // namespace tolvane::posix
