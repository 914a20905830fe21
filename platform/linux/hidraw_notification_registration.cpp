#include "hidraw_notification_registration.h"

#include "errno_error.h"
#include "udev_hidraw.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <optional>
#include <string_view>
#include <system_error>
#include <utility>

namespace tolvane::hidraw {
namespace {

// udev's own events follow the rules it applies (permissions among them); where no udev daemon
// runs, as in many containers, only the kernel's events come.
const char* MonitorSource() {
    return ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
}

}  // namespace

std::unique_ptr<HidrawNotificationRegistration> HidrawNotificationRegistration::Start(
    Deliver deliver, SysError& error) {
    UdevPtr context(udev_new());
    if (!context) {
        error = LastFailure();
        return nullptr;
    }
    UdevMonitorPtr monitor(udev_monitor_new_from_netlink(context.get(), MonitorSource()));
    if (!monitor) {
        error = LastFailure();
        return nullptr;
    }
    if (udev_monitor_filter_add_match_subsystem_devtype(monitor.get(), "hidraw", nullptr) < 0 ||
        udev_monitor_enable_receiving(monitor.get()) < 0) {
        error = LastFailure();
        return nullptr;
    }
    HidrawChangeTracker tracker;
    for (const HidrawNode& node : EnumerateHidrawNodes(*context)) {
        tracker.remember(node);
    }
    posix::UniqueFd stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stop) {
        error = LastFailure();
        return nullptr;
    }
    auto registration = std::make_unique<HidrawNotificationRegistration>(
        Key{}, std::move(deliver), std::move(context), std::move(monitor), std::move(stop),
        std::move(tracker));
    try {
        registration->thread_ = std::jthread([raw = registration.get()] { raw->run(); });
    } catch (const std::system_error&) {
        error = kErrorOutOfMemory;
        registration->unregistered_ = true;
        return nullptr;
    }
    error = 0;
    return registration;
}

HidrawNotificationRegistration::HidrawNotificationRegistration(Key /*key*/, Deliver deliver,
                                                               UdevPtr context,
                                                               UdevMonitorPtr monitor,
                                                               posix::UniqueFd stop,
                                                               HidrawChangeTracker tracker) noexcept
    : deliver_(std::move(deliver)),
      context_(std::move(context)),
      monitor_(std::move(monitor)),
      stop_(std::move(stop)),
      tracker_(std::move(tracker)) {}

HidrawNotificationRegistration::~HidrawNotificationRegistration() {
    unregister();
}

SysError HidrawNotificationRegistration::unregister() {
    if (unregistered_) {
        return 0;
    }
    unregistered_ = true;
    // The counter starts at 0 and gets this one write, so the write cannot find it full.
    const std::uint64_t one = 1;
    while (::write(stop_.get(), &one, sizeof one) < 0 && errno == EINTR) {
    }
    if (thread_.joinable()) {
        thread_.join();
    }
    return 0;
}

void HidrawNotificationRegistration::run() noexcept {
    pollfd fds[2] = {{udev_monitor_get_fd(monitor_.get()), POLLIN, 0}, {stop_.get(), POLLIN, 0}};
    for (;;) {
        fds[0].revents = 0;
        fds[1].revents = 0;
        if (::poll(fds, 2, -1) < 0) {
            if (errno == EINTR) {
                continue;
            }
            return;
        }
        if (fds[1].revents != 0) {
            return;
        }
        // POLLERR comes with an overrun receive buffer (a burst of events): the next receive
        // reports and clears it, and watching goes on.
        if ((fds[0].revents & (POLLIN | POLLERR)) != 0) {
            try {
                receive();
            } catch (...) {
                // One notification lost to a failed allocation; watching goes on.
            }
        } else if ((fds[0].revents & (POLLHUP | POLLNVAL)) != 0) {
            return;  // the monitor's socket is gone
        }
    }
}

void HidrawNotificationRegistration::receive() {
    const UdevDevicePtr device(udev_monitor_receive_device(monitor_.get()));
    if (!device) {
        return;
    }
    const char* action = udev_device_get_action(device.get());
    const char* name = udev_device_get_sysname(device.get());
    if (action == nullptr || name == nullptr) {
        return;
    }
    // Only an arriving node still has its HID device in sysfs to ask.
    const std::string_view verb(action);
    auto change = tracker_.onEvent(verb, name, verb == "add" ? HidIdOfNode(*device) : std::nullopt);
    if (change) {
        deliver_(change->eventType, std::move(change->path));
    }
}

}  // namespace tolvane::hidraw
