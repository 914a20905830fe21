// The HID bus on Linux: hidraw nodes found through udev, opened as files.
//
// Interface paths have the form "\\?\HID#VID_5C3B&PID_030B#hidraw3" (see hidraw_path.h), so the
// engine's prefix checks read them as they read Windows' paths.
#pragma once

#include "hid_bus.h"

namespace tolvane::hidraw {

// The longest a kInfinite wait for pending device installations lasts. udev's queue stays busy
// as long as any device anywhere keeps producing events, and a stalled udev daemon never empties
// it; the engine uses the wait only as a pause before it searches again, so a bounded wait costs
// nothing there and cannot hang an update.
inline constexpr std::uint32_t kMaxInstallWaitMs = 2000;

class HidrawBus final : public HidBus {
public:
    // Every hidraw node udev knows, with the identifiers of its HID device; null only when no udev
    // context can be made. No node is opened.
    std::unique_ptr<HidInterfaceList> listInterfaces() override;
    // ReadWrite opens the node read-write, None read-only. A path that names no hidraw node fails
    // with ERROR_FILE_NOT_FOUND (2); errno is mapped as SysErrorFromErrno tells.
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
};

}  // namespace tolvane::hidraw
