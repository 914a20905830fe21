// Interface notifications on Linux: hidraw events (from a udev monitor) read on a thread of its
// own, which hands every arrival and removal to the window it was registered for.
//
// Nothing is lost without a trace: after a receive-buffer overrun the thread compares what it
// knows with the nodes present and announces the difference; a node whose identity cannot be read
// yet is looked at again shortly; when waiting for events fails, the failure is kept (failure())
// and the thread goes on by comparing the present nodes at a short interval, trying the monitor
// again each time, until it is stopped.
#pragma once

#include "hid_bus.h"
#include "hidraw_change_tracker.h"
#include "hidraw_event_source.h"
#include "hidraw_sysfs.h"
#include "unique_fd.h"

#include <atomic>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tolvane::hidraw {

struct MonitorTiming {
    // Between two comparisons while the monitor cannot be used.
    std::chrono::milliseconds rescanInterval{250};
    // Before looking again at a node whose identity could not be read, and how often.
    std::chrono::milliseconds retryDelay{50};
    int retries = 5;
};

class HidrawNotificationRegistration final : public NotificationRegistration {
public:
    // Receives (event type, interface path) on the monitor thread.
    using Deliver = std::function<void(std::uint32_t, std::u16string)>;

    // `source` must already be receiving, so no change between its start and the look at the
    // present nodes is missed. Null and the error number on failure.
    static std::unique_ptr<HidrawNotificationRegistration> Start(
        Deliver deliver, std::unique_ptr<HidrawEventSource> source, HidrawSysfs sysfs,
        SysError& error, MonitorTiming timing = {});

    // Only Start() can make the key.
    class Key {
        friend class HidrawNotificationRegistration;
        Key() = default;
    };
    HidrawNotificationRegistration(Key key, Deliver deliver,
                                   std::unique_ptr<HidrawEventSource> source, HidrawSysfs sysfs,
                                   posix::UniqueFd stop, MonitorTiming timing) noexcept;
    ~HidrawNotificationRegistration() override;
    HidrawNotificationRegistration(const HidrawNotificationRegistration&) = delete;
    HidrawNotificationRegistration& operator=(const HidrawNotificationRegistration&) = delete;

    // Stops the monitor thread and waits for it; nothing is delivered once this returns.
    SysError unregister() override;

    // The error number of the first failure to wait for events (0 while there was none), and
    // its errno value. Watching goes on by comparison after such a failure.
    SysError failure() const noexcept { return failure_.load(); }
    int failureErrno() const noexcept { return failureErrno_.load(); }

private:
    void run() noexcept;
    void step();
    void receive();
    void onEvent(const HidrawEvent& event);
    void reconcile();
    void deliverAll(std::vector<InterfaceChange> changes);
    bool waitForStop(std::chrono::milliseconds time);

    Deliver deliver_;
    std::unique_ptr<HidrawEventSource> source_;
    HidrawSysfs sysfs_;
    posix::UniqueFd stop_;  // an eventfd that wakes the thread to end
    MonitorTiming timing_;
    HidrawChangeTracker tracker_;  // used only on the monitor thread once it runs
    bool degraded_ = false;        // monitor thread only: waiting for events failed
    int retriesLeft_ = 0;          // monitor thread only: looks left at unidentified nodes
    std::atomic<SysError> failure_{0};
    std::atomic<int> failureErrno_{0};
    std::atomic<bool> stopping_{false};
    bool unregistered_ = false;
    std::jthread thread_;  // last: stopped before anything it uses is released
};

}  // namespace tolvane::hidraw
