// The notification "window" of the POSIX services: no window system is involved, only the owning
// thread's message queue. Notifications delivered from any thread are handled on the thread that
// created the window, when it dispatches its messages (or at once, where the services say so).
#pragma once

#include "notify_window_target.h"
#include "system_services.h"
#include "thread_message_queue.h"

#include <memory>

namespace tolvane::posix {

class PosixNotifyWindow final : public NotifyWindow {
public:
    // Belongs to the calling thread.
    explicit PosixNotifyWindow(DeviceChangeHandler& handler,
                               NotificationDelivery delivery = NotificationDelivery::OwnerThread);
    // Ends delivery whichever thread destroys the object.
    ~PosixNotifyWindow() override;
    PosixNotifyWindow(const PosixNotifyWindow&) = delete;
    PosixNotifyWindow& operator=(const PosixNotifyWindow&) = delete;

    SysError destroy() override;
    // This object itself.
    void* nativeHandle() const override;
    void deliverDeviceChange(std::uint32_t eventType, std::u16string path) override;

    // What a device registration holds on to, so that a notification arriving after the window
    // object is gone is dropped instead of touching freed memory.
    std::shared_ptr<NotifyWindowTarget> target() const { return target_; }

private:
    std::shared_ptr<ThreadMessageQueue> queue_;
    std::shared_ptr<NotifyWindowTarget> target_;
};

}  // namespace tolvane::posix
