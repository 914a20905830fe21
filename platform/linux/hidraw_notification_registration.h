// Interface notifications on Linux: a udev monitor for the "hidraw" subsystem, read on a thread of
// its own, which hands every arrival and removal to the window it was registered for.
#pragma once

#include "hid_bus.h"
#include "hidraw_change_tracker.h"
#include "udev_handles.h"
#include "unique_fd.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <thread>

namespace tolvane::hidraw {

class HidrawNotificationRegistration final : public NotificationRegistration {
public:
    // Receives (event type, interface path) on the monitor thread.
    using Deliver = std::function<void(std::uint32_t, std::u16string)>;

    // Starts watching before the present nodes are noted, so no change in between is missed.
    // Null and the error number on failure.
    static std::unique_ptr<HidrawNotificationRegistration> Start(Deliver deliver, SysError& error);

    // Only Start() can make the key.
    class Key {
        friend class HidrawNotificationRegistration;
        Key() = default;
    };
    HidrawNotificationRegistration(Key key, Deliver deliver, UdevPtr context,
                                   UdevMonitorPtr monitor, posix::UniqueFd stop,
                                   HidrawChangeTracker tracker) noexcept;
    ~HidrawNotificationRegistration() override;
    HidrawNotificationRegistration(const HidrawNotificationRegistration&) = delete;
    HidrawNotificationRegistration& operator=(const HidrawNotificationRegistration&) = delete;

    // Stops the monitor thread and waits for it; nothing is delivered once this returns.
    SysError unregister() override;

private:
    void run() noexcept;
    void receive();

    Deliver deliver_;
    UdevPtr context_;
    UdevMonitorPtr monitor_;
    posix::UniqueFd stop_;         // an eventfd that wakes the thread to end
    HidrawChangeTracker tracker_;  // used only on the monitor thread once it runs
    bool unregistered_ = false;
    std::jthread thread_;  // last: stopped before anything it uses is released
};

}  // namespace tolvane::hidraw
