#include "thread_message_queue.h"

#include "notify_window_target.h"
#include "system_services.h"

#include <algorithm>
#include <chrono>
#include <utility>

namespace tolvane::posix {

std::shared_ptr<ThreadMessageQueue> ThreadMessageQueue::ForCurrentThread() {
    thread_local std::shared_ptr<ThreadMessageQueue> queue = std::make_shared<ThreadMessageQueue>();
    return queue;
}

void ThreadMessageQueue::post(QueuedMessage message) {
    {
        std::lock_guard lock(mutex_);
        messages_.push_back(std::move(message));
    }
    posted_.notify_one();
}

void ThreadMessageQueue::discard(const NotifyWindowTarget& target) {
    std::lock_guard lock(mutex_);
    std::erase_if(messages_, [&target](const QueuedMessage& message) {
        return message.target.get() == &target;
    });
}

void ThreadMessageQueue::dispatch(std::uint32_t maxWaitMs) {
    std::deque<QueuedMessage> batch;
    {
        std::unique_lock lock(mutex_);
        const auto queued = [this] { return !messages_.empty(); };
        if (maxWaitMs == kInfinite) {
            posted_.wait(lock, queued);
        } else {
            const auto deadline =
                std::chrono::steady_clock::now() + std::chrono::milliseconds(maxWaitMs);
            posted_.wait_until(lock, deadline, queued);
        }
        batch.swap(messages_);
    }
    for (const QueuedMessage& message : batch) {
        message.target->handle(message.eventType, message.path);
    }
}

}  // namespace tolvane::posix
