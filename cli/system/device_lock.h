// An exclusive advisory lock on one device, held for the whole of its update so that a second
// tool process refuses the device at once instead of writing into it as well. It locks what the
// bus names the device (HidBus::deviceNodeOf): flock on the hidraw node on Linux, so that a script
// can hold a device with flock(1) too; a named mutex per device instance on Windows. Programs
// that do not ask are not stopped by it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>

namespace tolvane::cli {

class DeviceLock {
public:
    enum class Outcome {
        Taken,        // this process holds the lock now
        Busy,         // another process holds it
        Unavailable,  // the system gives no lock for this device (the update goes on without one)
    };

    // Tries once, without waiting.
    static std::unique_ptr<DeviceLock> take(std::string_view node, Outcome& outcome);
    ~DeviceLock();
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    // Owns the system's handle: a descriptor on POSIX, a mutex handle on Windows.
    explicit DeviceLock(std::intptr_t handle) : handle_(handle) {}

private:
    std::intptr_t handle_;
};

}  // namespace tolvane::cli
