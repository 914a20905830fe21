// One thread's queue of window messages: any thread posts, only the owning thread dispatches, as
// with a thread's message queue on Windows.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <memory>
#include <mutex>
#include <string>

namespace tolvane::posix {

class NotifyWindowTarget;

struct QueuedMessage {
    std::shared_ptr<NotifyWindowTarget> target;
    std::uint32_t eventType = 0;
    std::u16string path;
};

class ThreadMessageQueue {
public:
    // The calling thread's queue, created on first use; it lives as long as the thread or the
    // last window that belongs to the thread.
    static std::shared_ptr<ThreadMessageQueue> ForCurrentThread();

    // Any thread.
    void post(QueuedMessage message);
    // Drops the queued messages of a window that has been destroyed.
    void discard(const NotifyWindowTarget& target);
    // The owning thread: waits up to maxWaitMs (kInfinite: no limit) for the first message when
    // none is queued, then hands every message queued at that moment to its window.
    void dispatch(std::uint32_t maxWaitMs);

private:
    std::mutex mutex_;
    std::condition_variable posted_;
    std::deque<QueuedMessage> messages_;
};

}  // namespace tolvane::posix
