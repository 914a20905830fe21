#include "hidraw_bus.h"

#include "errno_error.h"
#include "hidraw_device.h"
#include "hidraw_interface_list.h"
#include "hidraw_notification_registration.h"
#include "hidraw_path.h"
#include "posix_notify_window.h"
#include "udev_handles.h"
#include "udev_hidraw.h"
#include "unique_fd.h"

#include <fcntl.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <thread>
#include <vector>

namespace tolvane::hidraw {
namespace {

constexpr std::chrono::milliseconds kQueuePollInterval{20};

}  // namespace

std::unique_ptr<HidInterfaceList> HidrawBus::listInterfaces() {
    const UdevPtr context(udev_new());
    if (!context) {
        return nullptr;
    }
    std::vector<std::u16string> paths;
    for (const HidrawNode& node : EnumerateHidrawNodes(*context)) {
        paths.push_back(InterfacePathFor(node.id.vendorId, node.id.productId, node.name));
    }
    return std::make_unique<HidrawInterfaceList>(std::move(paths));
}

std::unique_ptr<HidDevice> HidrawBus::open(std::u16string_view path, DeviceAccess access,
                                           SysError& error) {
    const auto node = NodeNameFromInterfacePath(path);
    if (!node) {
        error = kErrorFileNotFound;
        return nullptr;
    }
    const int flags = (access == DeviceAccess::ReadWrite ? O_RDWR : O_RDONLY) | O_CLOEXEC;
    posix::UniqueFd fd(::open(DeviceNodeFor(*node).c_str(), flags));
    if (!fd) {
        error = LastFailure();
        return nullptr;
    }
    error = 0;
    return std::make_unique<HidrawDevice>(std::move(fd));
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
    return HidrawNotificationRegistration::Start(std::move(deliver), error);
}

}  // namespace tolvane::hidraw
