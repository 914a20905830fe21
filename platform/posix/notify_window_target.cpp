#include "notify_window_target.h"

#include "thread_message_queue.h"

#include <utility>

namespace tolvane::posix {

NotifyWindowTarget::NotifyWindowTarget(DeviceChangeHandler& handler,
                                       std::weak_ptr<ThreadMessageQueue> queue,
                                       std::thread::id owner,
                                       NotificationDelivery delivery) noexcept
    : handler_(handler), queue_(std::move(queue)), owner_(owner), delivery_(delivery) {}

void NotifyWindowTarget::deliver(std::uint32_t eventType, std::u16string path) {
    if (destroyed()) {
        return;
    }
    if (delivery_ == NotificationDelivery::DeliveringThread) {
        handle(eventType, path);
        return;
    }
    if (auto queue = queue_.lock()) {
        queue->post(QueuedMessage{shared_from_this(), eventType, std::move(path)});
    }
}

void NotifyWindowTarget::handle(std::uint32_t eventType, std::u16string_view path) {
    std::lock_guard lock(handlerMutex_);
    if (destroyed()) {
        return;
    }
    const DeviceChangeMessage change{eventType, kDevTypeDeviceInterface, path};
    handler_.onDeviceChange(change);
}

void NotifyWindowTarget::markDestroyed() {
    {
        std::lock_guard lock(handlerMutex_);
        destroyed_.store(true);
    }
    if (auto queue = queue_.lock()) {
        queue->discard(*this);
    }
}

}  // namespace tolvane::posix
