// The engine's state record: the open target, progress, the awaited change and the watcher.
#pragma once

#include "dfu_constants.h"
#include "hid_bus.h"
#include "system_services.h"

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace tolvane {

enum class PendingChange : std::uint32_t {
    None = 0,
    DfuArrival = 1,  // the boot loader is to appear
    DfuRemoval = 2,  // the boot loader is to disappear
};

// The one HID interface the engine has open at the moment.
struct TargetDevice {
    std::uint16_t vendorId = 0;  // of the last search, found or not
    std::uint16_t productId = 0;
    std::unique_ptr<HidDevice> handle;     // open only inside one public operation
    std::uint8_t featureReportLength = 0;  // low byte of FeatureReportByteLength
    std::uint8_t inputReportLength = 0;
    std::uint8_t outputReportLength = 0;
    std::u16string devicePath;  // at most DEVICE_PATH_CAPACITY - 1 units
};

struct EngineState {
    TargetDevice target;
    // PERCENTAGE_NONE at load and while a reset to boot loader or a download has sent no data.
    std::atomic<std::uint32_t> percentage{PERCENTAGE_NONE};
    // The image bytes the boot loader has taken in the current or latest download.
    std::atomic<std::uint32_t> bytesSent{0};
    // Stored before a reset command goes out; read on the watcher's thread.
    std::atomic<PendingChange> pendingChange{PendingChange::None};
    // Shared with a wait in progress and with the procedure that signals it, so that a stop on
    // any thread never frees the event under either of them. Replaced only under eventMutex.
    std::shared_ptr<AutoResetEvent> changeEvent;
    std::unique_ptr<NotifyWindow> notifyWindow;
    std::unique_ptr<NotificationRegistration> notifyHandle;
    std::uint32_t initialized = 0;
    // Serialises the watcher's start and stop, which callers may run on several threads at once;
    // held only by them, never while a reset waits nor while a message box is shown. Recursive,
    // so that a start or stop reached again on the same thread (a handler the system runs while
    // a window is created or destroyed) does not deadlock.
    std::recursive_mutex watcherMutex;
    // Guards the changeEvent pointer only: held for the moment a start or stop replaces it, a
    // wait takes its reference, or the window's procedure signals it. A matching arrival
    // therefore always reaches the event of the watcher that exists at that moment.
    std::mutex eventMutex;
    // The 16-bit checksum the boot loader answered in the latest download, for diagnostics;
    // none until a download has read one.
    std::optional<std::uint16_t> reportedChecksum;
};

}  // namespace tolvane
