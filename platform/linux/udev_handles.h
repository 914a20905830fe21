// Owning wrappers for libudev objects: each releases its one reference on destruction.
#pragma once

#include <libudev.h>

#include <memory>

namespace tolvane::hidraw {

template <auto Unref>
struct UdevUnref {
    template <typename T>
    void operator()(T* object) const noexcept {
        Unref(object);
    }
};

using UdevPtr = std::unique_ptr<udev, UdevUnref<&udev_unref>>;
using UdevEnumeratePtr = std::unique_ptr<udev_enumerate, UdevUnref<&udev_enumerate_unref>>;
using UdevDevicePtr = std::unique_ptr<udev_device, UdevUnref<&udev_device_unref>>;
using UdevMonitorPtr = std::unique_ptr<udev_monitor, UdevUnref<&udev_monitor_unref>>;
using UdevQueuePtr = std::unique_ptr<udev_queue, UdevUnref<&udev_queue_unref>>;

}  // namespace tolvane::hidraw
