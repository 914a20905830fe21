#include "hidraw_notification_registration.h"

#include "errno_error.h"

#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>
#include <utility>

namespace tolvane::hidraw {

std::unique_ptr<HidrawNotificationRegistration> HidrawNotificationRegistration::Start(
    Deliver deliver, std::unique_ptr<HidrawEventSource> source, HidrawSysfs sysfs, SysError& error,
    MonitorTiming timing) {
    if (!source) {
        error = kErrorInvalidParameter;
        return nullptr;
    }
    posix::UniqueFd stop(::eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK));
    if (!stop) {
        error = LastFailure();
        return nullptr;
    }
    auto registration = std::make_unique<HidrawNotificationRegistration>(
        Key{}, std::move(deliver), std::move(source), std::move(sysfs), std::move(stop), timing);
    for (const HidrawNode& node : registration->sysfs_.nodes()) {
        registration->tracker_.remember(node);
    }
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

HidrawNotificationRegistration::HidrawNotificationRegistration(
    Key /*key*/, Deliver deliver, std::unique_ptr<HidrawEventSource> source, HidrawSysfs sysfs,
    posix::UniqueFd stop, MonitorTiming timing) noexcept
    : deliver_(std::move(deliver)),
      source_(std::move(source)),
      sysfs_(std::move(sysfs)),
      stop_(std::move(stop)),
      timing_(timing) {}

HidrawNotificationRegistration::~HidrawNotificationRegistration() {
    unregister();
}

SysError HidrawNotificationRegistration::unregister() {
    if (unregistered_) {
        return 0;
    }
    unregistered_ = true;
    stopping_ = true;
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
    while (!stopping_.load()) {
        try {
            step();
        } catch (...) {
            // A failed allocation loses what this step would have told; the next comparison
            // finds it again.
            retriesLeft_ = timing_.retries;
        }
    }
}

bool HidrawNotificationRegistration::waitForStop(std::chrono::milliseconds time) {
    pollfd stop{stop_.get(), POLLIN, 0};
    const int ready = ::poll(&stop, 1, static_cast<int>(time.count()));
    if (ready < 0 && errno != EINTR) {
        // Not even the stop descriptor can be waited for: pause anyway, so that the comparisons
        // do not spin, and look at the flag.
        std::this_thread::sleep_for(time);
    }
    return stopping_.load() || (ready > 0 && stop.revents != 0);
}

void HidrawNotificationRegistration::step() {
    if (degraded_) {
        if (waitForStop(timing_.rescanInterval)) {
            stopping_ = true;
            return;
        }
        reconcile();
        // Try the monitor again: a wait that works means it has recovered.
        int error = 0;
        const SourceWait outcome = source_->wait(stop_.get(), 0, error);
        if (outcome == SourceWait::Ready) {
            degraded_ = false;
            receive();
        } else if (outcome == SourceWait::TimedOut) {
            degraded_ = false;
        } else if (outcome == SourceWait::Stopped) {
            stopping_ = true;
        }
        return;
    }
    const int timeout =
        retriesLeft_ > 0 ? static_cast<int>(timing_.retryDelay.count()) : -1;  // -1: no limit
    int error = 0;
    switch (source_->wait(stop_.get(), timeout, error)) {
        case SourceWait::Stopped:
            stopping_ = true;
            return;
        case SourceWait::Ready:
            receive();
            return;
        case SourceWait::TimedOut:
            --retriesLeft_;
            reconcile();
            return;
        case SourceWait::Failed: {
            const SysError mapped = DeviceErrorFromErrno(error);
            SysError none = 0;
            if (failure_.compare_exchange_strong(none, mapped != 0 ? mapped : kErrorGenFailure)) {
                failureErrno_ = error;
            }
            degraded_ = true;
            reconcile();
            return;
        }
    }
}

void HidrawNotificationRegistration::receive() {
    HidrawEvent event;
    switch (source_->receive(event)) {
        case SourceReceive::Event:
            onEvent(event);
            break;
        case SourceReceive::Overrun:
            reconcile();
            break;
        case SourceReceive::Nothing:
            break;
    }
}

void HidrawNotificationRegistration::onEvent(const HidrawEvent& event) {
    // What the event itself tells: its device path names the HID device, whose name holds the
    // identifiers. It stands in when sysfs no longer (or not yet) answers.
    HidrawNode asSeen;
    asSeen.name = event.nodeName;
    asSeen.hidDevice = HidDeviceFromDevicePath(event.devicePath);
    asSeen.id = HidIdFromDeviceName(asSeen.hidDevice);

    if (event.action == "add") {
        HidrawNode node = sysfs_.node(event.nodeName).value_or(asSeen);
        if (!node.id) {
            node.id = asSeen.id;
        }
        if (node.hidDevice.empty()) {
            node.hidDevice = asSeen.hidDevice;
        }
        if (!node.id) {
            retriesLeft_ = timing_.retries;  // look again shortly
            return;
        }
        deliverAll(tracker_.arrived(node));
    } else if (event.action == "remove") {
        deliverAll(tracker_.removed(event.nodeName, asSeen));
    }
}

void HidrawNotificationRegistration::reconcile() {
    const std::vector<HidrawNode> present = sysfs_.nodes();
    bool unidentified = false;
    for (const HidrawNode& node : present) {
        unidentified = unidentified || !node.id;
    }
    if (!unidentified) {
        retriesLeft_ = 0;
    }
    deliverAll(tracker_.reconcile(present));
}

void HidrawNotificationRegistration::deliverAll(std::vector<InterfaceChange> changes) {
    for (InterfaceChange& change : changes) {
        deliver_(change.eventType, std::move(change.path));
    }
}

}  // namespace tolvane::hidraw
