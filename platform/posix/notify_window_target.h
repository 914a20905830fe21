// The part of a notification window that queued messages and device registrations refer to. It
// outlives the window object as long as something still refers to it, and once the window is
// destroyed it drops whatever is delivered to it, so a late notification never reaches a handler
// that is gone.
#pragma once

#include "system_services.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <thread>

namespace tolvane::posix {

class ThreadMessageQueue;

// Where a notification delivered to a window is handled.
enum class NotificationDelivery {
    // Queued for the owning thread and handled when it dispatches, as Windows does.
    OwnerThread,
    // Handled at once on the delivering thread, for programs that have no thread dispatching
    // messages (a caller of the shared library). The handler must be safe to call from any
    // thread; a call in progress still ends before the window's destruction completes.
    DeliveringThread,
};

class NotifyWindowTarget final : public std::enable_shared_from_this<NotifyWindowTarget> {
public:
    NotifyWindowTarget(DeviceChangeHandler& handler, std::weak_ptr<ThreadMessageQueue> queue,
                       std::thread::id owner, NotificationDelivery delivery) noexcept;
    NotifyWindowTarget(const NotifyWindowTarget&) = delete;
    NotifyWindowTarget& operator=(const NotifyWindowTarget&) = delete;

    // Any thread: queues a device-interface notification for the owning thread, or handles it
    // at once, as the window's delivery says.
    void deliver(std::uint32_t eventType, std::u16string path);
    // Runs the handler unless the window is destroyed: on the owning thread while it dispatches,
    // or on the delivering thread.
    void handle(std::uint32_t eventType, std::u16string_view path);
    // Ends delivery for good and drops what is queued. Called from another thread, it waits for a
    // handler call in progress to return.
    void markDestroyed();

    bool destroyed() const noexcept { return destroyed_.load(); }
    std::thread::id owner() const noexcept { return owner_; }

private:
    DeviceChangeHandler& handler_;
    std::weak_ptr<ThreadMessageQueue> queue_;
    const std::thread::id owner_;
    const NotificationDelivery delivery_;
    std::atomic<bool> destroyed_{false};
    // Held while the handler runs and while the window is marked destroyed; recursive because a
    // handler may destroy its own window.
    std::recursive_mutex handlerMutex_;
};

}  // namespace tolvane::posix
