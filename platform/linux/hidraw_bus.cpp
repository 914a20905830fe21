#include "hidraw_bus.h"

#include "errno_error.h"
#include "hidraw_device.h"
#include "hidraw_interface_list.h"
#include "hidraw_notification_registration.h"
#include "hidraw_path.h"
#include "posix_notify_window.h"
#include "udev_event_source.h"
#include "udev_handles.h"
#include "unique_fd.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <time.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace tolvane::hidraw {
namespace {

constexpr std::chrono::milliseconds kQueuePollInterval{20};

int OpenSystemNode(const char* node, int flags) {
    return ::open(node, flags);
}

std::optional<std::chrono::milliseconds> SystemNodeAge(const char* node) {
    struct stat status {};
    timespec now{};
    if (::stat(node, &status) != 0 || ::clock_gettime(CLOCK_REALTIME, &now) != 0) {
        return std::nullopt;
    }
    const auto age = std::chrono::seconds(now.tv_sec - status.st_ctim.tv_sec) +
                     std::chrono::nanoseconds(now.tv_nsec - status.st_ctim.tv_nsec);
    return std::chrono::duration_cast<std::chrono::milliseconds>(age);
}

bool RefusedForPermissions(int error) {
    return error == EACCES || error == EPERM;
}

}  // namespace

HidrawBus::HidrawBus(HidrawBusConfig config)
    : config_(std::move(config)), sysfs_(config_.sysfsRoot) {
    if (!config_.openNode) {
        config_.openNode = OpenSystemNode;
    }
    if (!config_.nodeAge) {
        config_.nodeAge = SystemNodeAge;
    }
    if (!config_.pause) {
        config_.pause = [](std::chrono::milliseconds time) { std::this_thread::sleep_for(time); };
    }
}

std::unique_ptr<HidInterfaceList> HidrawBus::listInterfaces() {
    std::vector<std::u16string> paths;
    for (const HidrawNode& node : sysfs_.nodes()) {
        for (const std::u16string& path : InterfacePathsOf(node)) {
            paths.push_back(path);
        }
    }
    return std::make_unique<HidrawInterfaceList>(std::move(paths));
}

std::unique_ptr<HidDevice> HidrawBus::open(std::u16string_view path, DeviceAccess access,
                                           SysError& error) {
    auto location = LocationFromInterfacePath(path);
    if (!location) {
        error = NoteFailure(kErrorFileNotFound, 0);
        return nullptr;
    }
    const std::string node = (config_.deviceRoot / location->nodeName).string();
    const int flags = (access == DeviceAccess::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    int descriptor = config_.openNode(node.c_str(), flags);
    int refusal = errno;
    // Right after an arrival udev may not have applied its rules yet; the attempts are bounded
    // even if the node's clock is off.
    for (auto attempts = kFreshNodeWindow / kFreshNodeRetryInterval;
         descriptor < 0 && access == DeviceAccess::ReadWrite && RefusedForPermissions(refusal) &&
         attempts > 0;
         --attempts) {
        const auto age = config_.nodeAge(node.c_str());
        if (!age || *age >= kFreshNodeWindow) {
            break;
        }
        config_.pause(kFreshNodeRetryInterval);
        descriptor = config_.openNode(node.c_str(), flags);
        refusal = errno;
    }
    posix::UniqueFd fd(descriptor);
    HidrawDeviceSite site{std::move(location->nodeName), location->collection, sysfs_};
    if (!fd) {
        // Without access rights Windows still answers attributes and capabilities; sysfs tells
        // them here to anyone, so a device the user may not open is found and refused, not
        // mistaken for an absent one.
        if (access == DeviceAccess::None && RefusedForPermissions(refusal) &&
            sysfs_.hasNode(site.nodeName)) {
            error = 0;
            return std::make_unique<HidrawDevice>(
                HidrawDevice::WithoutAccess(std::move(site), refusal));
        }
        // A node that is not there names no present interface, as Windows answers such a path.
        errno = refusal;
        error = refusal == ENOENT ? NoteFailure(kErrorFileNotFound, refusal) : LastFailure();
        return nullptr;
    }
    error = 0;
    return std::make_unique<HidrawDevice>(std::move(fd), std::move(site));
}

void HidrawBus::waitNoPendingInstallEvents(std::uint32_t timeoutMs) {
    const std::uint32_t limit = timeoutMs == kInfinite ? kMaxInstallWaitMs : timeoutMs;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limit);
    const UdevPtr context(udev_new());
    if (!context) {
        return;
    }
    const UdevQueuePtr queue(udev_queue_new(context.get()));
    if (!queue) {
        return;
    }
    while (udev_queue_get_queue_is_empty(queue.get()) == 0) {
        const auto now = std::chrono::steady_clock::now();
        if (now >= deadline) {
            return;
        }
        std::this_thread::sleep_for(
            std::min<std::chrono::steady_clock::duration>(kQueuePollInterval, deadline - now));
    }
}

std::unique_ptr<NotificationRegistration> HidrawBus::registerNotifications(NotifyWindow& window,
                                                                           SysError& error) {
    HidrawNotificationRegistration::Deliver deliver;
    if (auto* posixWindow = dynamic_cast<posix::PosixNotifyWindow*>(&window)) {
        deliver = [target = posixWindow->target()](std::uint32_t eventType, std::u16string path) {
            target->deliver(eventType, std::move(path));
        };
    } else {
        deliver = [&window](std::uint32_t eventType, std::u16string path) {
            window.deliverDeviceChange(eventType, std::move(path));
        };
    }
    auto source = UdevEventSource::Create(error);
    if (!source) {
        return nullptr;
    }
    return HidrawNotificationRegistration::Start(std::move(deliver), std::move(source), sysfs_,
                                                 error);
}

SysError HidrawBus::portOf(std::u16string_view path, std::string& port) {
    port.clear();
    const auto location = LocationFromInterfacePath(path);
    if (!location) {
        return NoteFailure(kErrorFileNotFound, 0);
    }
    auto found = sysfs_.usbPortOf(location->nodeName);
    if (!found) {
        return NoteFailure(kErrorFileNotFound, 0);
    }
    port = std::move(*found);
    return 0;
}

SysError HidrawBus::deviceNodeOf(std::u16string_view path, std::string& node) {
    node.clear();
    const auto location = LocationFromInterfacePath(path);
    if (!location || !sysfs_.hasNode(location->nodeName)) {
        return NoteFailure(kErrorFileNotFound, 0);
    }
    node = (config_.deviceRoot / location->nodeName).string();
    return 0;
}

}  // namespace tolvane::hidraw
