#include "udev_event_source.h"

#include "errno_error.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

namespace tolvane::hidraw {
namespace {

// udev's own events follow the rules it applies (permissions among them); where no udev daemon
// runs, as in many containers, only the kernel's events come.
const char* MonitorSource() {
    return ::access("/run/udev/control", F_OK) == 0 ? "udev" : "kernel";
}

// A monitor socket's receive buffer large enough for a hub's worth of devices arriving at once;
// an overrun is still reconciled, but the rescan costs more than a larger buffer.
constexpr int kReceiveBufferBytes = 1024 * 1024;

}  // namespace

std::unique_ptr<UdevEventSource> UdevEventSource::Create(SysError& error) {
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
    // Best effort: the default buffer still works, and an overrun is reconciled.
    (void)udev_monitor_set_receive_buffer_size(monitor.get(), kReceiveBufferBytes);
    error = 0;
    return std::make_unique<UdevEventSource>(std::move(context), std::move(monitor));
}

SourceWait UdevEventSource::wait(int stopFd, int timeoutMs, int& error) {
    pollfd fds[2] = {{udev_monitor_get_fd(monitor_.get()), POLLIN, 0}, {stopFd, POLLIN, 0}};
    for (;;) {
        const int ready = ::poll(fds, 2, timeoutMs);
        if (ready < 0 && errno == EINTR) {
            continue;
        }
        if (ready < 0) {
            error = errno;
            return SourceWait::Failed;
        }
        if (ready == 0) {
            return SourceWait::TimedOut;
        }
        if (fds[1].revents != 0) {
            return SourceWait::Stopped;
        }
        // POLLERR comes with an overrun receive buffer: the next receive reports and clears it.
        if ((fds[0].revents & (POLLIN | POLLERR)) != 0) {
            return SourceWait::Ready;
        }
        error = EPIPE;  // POLLHUP or POLLNVAL: the monitor's socket is gone
        return SourceWait::Failed;
    }
}

SourceReceive UdevEventSource::receive(HidrawEvent& event) {
    errno = 0;
    const UdevDevicePtr device(udev_monitor_receive_device(monitor_.get()));
    if (!device) {
        return errno == ENOBUFS ? SourceReceive::Overrun : SourceReceive::Nothing;
    }
    const char* action = udev_device_get_action(device.get());
    const char* name = udev_device_get_sysname(device.get());
    const char* path = udev_device_get_devpath(device.get());
    if (action == nullptr || name == nullptr) {
        return SourceReceive::Nothing;
    }
    event.action = action;
    event.nodeName = name;
    event.devicePath = path != nullptr ? path : "";
    return SourceReceive::Event;
}

}  // namespace tolvane::hidraw
