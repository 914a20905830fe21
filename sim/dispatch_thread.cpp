#include "dispatch_thread.h"

namespace tolvane::sim {

DispatchThread::DispatchThread(SystemServices& services, std::uint32_t pollMs)
    : services_(services), pollMs_(pollMs), thread_([this] { loop(); }) {}

DispatchThread::~DispatchThread() {
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    thread_.join();
}

void DispatchThread::run(std::function<void()> work) {
    std::unique_lock lock(mutex_);
    work_.push_back(std::move(work));
    const std::uint64_t ticket = ++posted_;
    done_.wait(lock, [this, ticket] { return finished_ >= ticket; });
}

void DispatchThread::loop() {
    std::unique_lock lock(mutex_);
    while (!stopping_ || !work_.empty()) {
        if (!work_.empty()) {
            auto work = std::move(work_.front());
            work_.pop_front();
            lock.unlock();
            work();
            lock.lock();
            ++finished_;
            done_.notify_all();
            continue;
        }
        lock.unlock();
        services_.dispatchMessages(pollMs_);
        lock.lock();
    }
}

}  // namespace tolvane::sim
