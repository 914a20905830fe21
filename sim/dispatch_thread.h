// A thread that keeps dispatching its window messages, as a program's user-interface thread does,
// and on which work can be run: the engine's watcher must be started and stopped on the thread
// that owns its window, and that thread must keep dispatching while a reset waits elsewhere.
//
//   DispatchThread ui(services);
//   ui.run([&] { engine.StartDeviceChangeWatcher(); });
//   ... engine.ResetToIsp(...) on this thread; the notifications reach the engine through `ui` ...
//   ui.run([&] { engine.StopDeviceChangeWatcher(); });
#pragma once

#include "system_services.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

namespace tolvane::sim {

class DispatchThread {
public:
    // `pollMs`: the longest real time a dispatch waits before it looks for work again.
    explicit DispatchThread(SystemServices& services, std::uint32_t pollMs = 2);
    // Stops dispatching and joins the thread.
    ~DispatchThread();
    DispatchThread(const DispatchThread&) = delete;
    DispatchThread& operator=(const DispatchThread&) = delete;

    // Runs `work` on the thread, between two dispatches, and returns once it has run.
    void run(std::function<void()> work);
    std::thread::id id() const { return thread_.get_id(); }

private:
    void loop();

    SystemServices& services_;
    const std::uint32_t pollMs_;
    std::mutex mutex_;
    std::condition_variable done_;
    std::deque<std::function<void()>> work_;
    std::uint64_t posted_ = 0;
    std::uint64_t finished_ = 0;
    bool stopping_ = false;
    std::thread thread_;  // last: starts once everything above exists
};

}  // namespace tolvane::sim
