// System services on POSIX threads and the steady clock: the real-time counterpart of the
// simulated services, used with the hidraw bus and by the command-line tool's simulation.
#pragma once

#include "notify_window_target.h"
#include "system_services.h"

namespace tolvane::posix {

class PosixServices final : public SystemServices {
public:
    // Where the notifications of the windows made here are handled; by default on the owning
    // thread when it dispatches, as on Windows.
    explicit PosixServices(
        NotificationDelivery delivery = NotificationDelivery::OwnerThread) noexcept
        : delivery_(delivery) {}

    std::unique_ptr<AutoResetEvent> createEvent(SysError& error) override;
    void sleep(std::uint32_t ms) override;
    // Milliseconds of the steady clock.
    std::uint64_t nowMs() override;
    // The button size has no meaning here and is ignored.
    std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec& config,
                                                     DeviceChangeHandler& handler,
                                                     SysError& error) override;
    // Writes "caption: text" and a line end to standard error in UTF-8; returns at once.
    void showMessageBox(std::u16string_view text, std::u16string_view caption) override;
    void dispatchMessages(std::uint32_t maxWaitMs) override;

private:
    NotificationDelivery delivery_;
};

}  // namespace tolvane::posix
