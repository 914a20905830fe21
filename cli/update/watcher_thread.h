// The engine's device-change watcher on a thread of the tool's own that keeps dispatching its
// window messages, as the watcher's hidden window needs, for as long as the engine is used.
#pragma once

#include "dfu_engine.h"

#include <atomic>
#include <future>
#include <thread>

namespace tolvane::cli {

class WatcherThread {
public:
    WatcherThread(DfuEngine& engine, SystemServices& services) noexcept
        : engine_(engine), services_(services) {}
    // Stops the watcher if it still runs.
    ~WatcherThread();
    WatcherThread(const WatcherThread&) = delete;
    WatcherThread& operator=(const WatcherThread&) = delete;

    // Starts the thread and returns the result of starting the watcher on it.
    ResultCode start();
    // Stops the watcher on its own thread, ends the thread and returns the result of stopping.
    ResultCode stop();

private:
    void run(std::promise<ResultCode>& started);

    DfuEngine& engine_;
    SystemServices& services_;
    std::atomic<bool> stopping_{false};
    ResultCode stopResult_ = 0;
    std::thread thread_;
};

}  // namespace tolvane::cli
