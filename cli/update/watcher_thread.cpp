#include "update/watcher_thread.h"

namespace tolvane::cli {
namespace {

// How long one dispatch waits for a message before the stop flag is looked at again.
constexpr std::uint32_t kDispatchSliceMs = 20;

}  // namespace

WatcherThread::~WatcherThread() {
    stop();
}

ResultCode WatcherThread::start() {
    std::promise<ResultCode> started;
    auto result = started.get_future();
    stopping_ = false;
    thread_ = std::thread([this, &started] { run(started); });
    return result.get();
}

ResultCode WatcherThread::stop() {
    if (!thread_.joinable()) return stopResult_;
    stopping_ = true;
    thread_.join();
    return stopResult_;
}

void WatcherThread::run(std::promise<ResultCode>& started) {
    started.set_value(engine_.StartDeviceChangeWatcher());
    while (!stopping_) services_.dispatchMessages(kDispatchSliceMs);
    stopResult_ = engine_.StopDeviceChangeWatcher();
}

}  // namespace tolvane::cli
