// An exclusive advisory lock on one device, held for the whole of its update so that a second
// tool process refuses the device at once instead of writing into it as well. Two kinds:
//  - the device's own lock, on what the bus names the device (HidBus::deviceNodeOf): flock on the
//    hidraw node on Linux, so that a script can hold a device with flock(1) too; a named semaphore
//    per device instance on Windows. It ends with the node: the boot loader that arrives after a
//    reset is another node.
//  - the port's lock, on the USB port the device sits in (HidBus::portOf), which outlasts the
//    device's re-enumeration into its boot loader and back, so no other process can take the
//    boot loader while it arrives: flock on a lock file per port on Linux (in /run/lock, or in the
//    temporary folder when /run/lock is not writable), a named semaphore per port on Windows.
// No thread owns either: a lock taken on one thread may be let go on another, and a thread that
// ends leaves it held. Within one process, too, a held lock refuses a second take. Programs that
// do not ask are not stopped by either.
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
    // The lock of the USB port `port` ("1-1.4"); tries once, without waiting. Within one process
    // a port is to be locked once: a second take of a held port is refused (Busy).
    static std::unique_ptr<DeviceLock> takePort(std::string_view port, Outcome& outcome);
#ifndef _WIN32
    // The same with the lock files in `folder`.
    static std::unique_ptr<DeviceLock> takePortIn(const std::string& folder, std::string_view port,
                                                  Outcome& outcome);
    // The lock file of `port` in `folder`: the port's characters other than letters, digits, '-',
    // '.' and '_' written as %XX, so that two ports never share a file.
    static std::string portLockPath(std::string_view folder, std::string_view port);
#endif

    ~DeviceLock();
    DeviceLock(const DeviceLock&) = delete;
    DeviceLock& operator=(const DeviceLock&) = delete;

    // Owns the system's handle and the lock on it: a descriptor on POSIX, a semaphore handle whose
    // token was taken on Windows.
    explicit DeviceLock(std::intptr_t handle) : handle_(handle) {}

private:
    std::intptr_t handle_;
};

}  // namespace tolvane::cli
