// The HID bus on Linux: hidraw nodes found through sysfs, opened as files, watched through udev.
//
// Interface paths have the form "\\?\HID#VID_5C3B&PID_030B#hidraw3" (see hidraw_path.h), so the
// engine's prefix checks read them as they read Windows' paths. A node whose report descriptor
// holds several top-level collections shows one interface per collection, each with its own
// report lengths, as Windows shows them.
#pragma once

#include "hid_bus.h"
#include "hidraw_sysfs.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>

namespace tolvane::hidraw {

// The longest a kInfinite wait for pending device installations lasts. udev's queue stays busy
// as long as any device anywhere keeps producing events, and a stalled udev daemon never empties
// it; the engine uses the wait only as a pause before it searches again, so a bounded wait costs
// nothing there and cannot hang an update.
inline constexpr std::uint32_t kMaxInstallWaitMs = 2000;

// Where the bus finds the system: the real one by default, a fixture tree in tests.
struct HidrawBusConfig {
    std::filesystem::path sysfsRoot = "/sys";
    std::filesystem::path deviceRoot = "/dev";
    // open(2) of a device node: a descriptor, or -1 with errno set.
    std::function<int(const char* node, int flags)> openNode;
    // How long ago the node was made or last changed (its ctime; udev's rules change it); nothing
    // when it cannot be told.
    std::function<std::optional<std::chrono::milliseconds>(const char* node)> nodeAge;
    // Waits between attempts to open a node udev may not have finished with.
    std::function<void(std::chrono::milliseconds)> pause;
};

// A node younger than this that refuses opening for writing is tried again, every
// kFreshNodeRetryInterval: udev may not have applied its rules to it yet.
inline constexpr std::chrono::milliseconds kFreshNodeWindow{1000};
inline constexpr std::chrono::milliseconds kFreshNodeRetryInterval{50};

class HidrawBus final : public HidBus {
public:
    HidrawBus() : HidrawBus(HidrawBusConfig{}) {}
    explicit HidrawBus(HidrawBusConfig config);

    // One interface per top-level collection of every hidraw node sysfs lists, with the
    // identifiers of its HID device; never null. No node is opened.
    std::unique_ptr<HidInterfaceList> listInterfaces() override;
    // ReadWrite opens the node read-write, None read-only; a read-write open refused for the
    // node's permissions is tried again while the node is younger than kFreshNodeWindow. A node
    // that refuses a read-only open for its permissions (EACCES, EPERM) is still given for None,
    // described from sysfs, and refuses its reports as access denied (5). A path that names no
    // hidraw node, or a node that is not there, fails with kErrorFileNotFound; errno is mapped
    // as DeviceErrorFromErrno tells.
    std::unique_ptr<HidDevice> open(std::u16string_view path, DeviceAccess access,
                                    SysError& error) override;
    // Polls udev's event queue until it is empty, for at most the time-out (kMaxInstallWaitMs for
    // kInfinite).
    void waitNoPendingInstallEvents(std::uint32_t timeoutMs) override;
    // A udev monitor thread delivers to the window. With the POSIX services' window the
    // registration holds the window's delivery target, so a window object released first is safe;
    // any other window must outlive the registration.
    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                    SysError& error) override;
    // The USB device's name in sysfs, its port path ("1-1.4"), found by walking up from the
    // node's HID device; empty with 0 for a device on another bus or without a USB device above
    // it; kErrorFileNotFound when the node is not present.
    SysError portOf(std::u16string_view path, std::string& port) override;
    // The node's file under the device root ("/dev/hidraw3"); kErrorFileNotFound when sysfs does
    // not list the node.
    SysError deviceNodeOf(std::u16string_view path, std::string& node) override;

private:
    HidrawBusConfig config_;
    HidrawSysfs sysfs_;
};

}  // namespace tolvane::hidraw
