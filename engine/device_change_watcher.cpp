// The hidden window that learns of the boot loader's arrival and removal, and its checks.
#include "dfu_engine.h"
#include "text.h"

#include <mutex>
#include <string>

namespace tolvane {

namespace {

constexpr NotifyWindowSpec kLibraryWindow{60, 14};
constexpr NotifyWindowSpec kProgramWindow{80, 20};

std::u16string ErrorCodeCaption(SysError error) {
    // The caption shows the number as a signed decimal.
    const std::string digits = std::to_string(static_cast<std::int32_t>(error));
    std::u16string caption = u"Error Code = ";
    caption.append(digits.begin(), digits.end());
    return caption;
}

}  // namespace

// A product id is always four hex digits, so what follows it ends the identifier: '#' for a plain
// interface, '&' for one named with its interface or collection (&MI_00, &Col01), as Windows names
// a composite boot loader's interfaces and Wine every USB HID interface.
bool IsBootLoaderPath(std::u16string_view name) noexcept {
    for (const std::u16string_view prefix : {DFU_PATH_PREFIX_1, DFU_PATH_PREFIX_2}) {
        const std::u16string_view identifier = prefix.substr(0, prefix.size() - 1);
        if (!StartsWithIgnoringAsciiCase(name, identifier) || name.size() <= identifier.size()) {
            continue;
        }
        const char16_t next = name[identifier.size()];
        if (next == u'#' || next == u'&') return true;
    }
    return false;
}

bool DfuEngine::DeviceChangeProc(const DeviceChangeMessage& message) noexcept {
    PendingChange awaited = PendingChange::None;
    if (message.eventType == kDeviceArrival) {
        awaited = PendingChange::DfuArrival;
    } else if (message.eventType == kDeviceRemoveComplete) {
        awaited = PendingChange::DfuRemoval;
    } else {
        return false;
    }
    if (message.deviceType != kDevTypeDeviceInterface) {
        return false;
    }
    if (state_.pendingChange.load() != awaited) {
        return false;
    }
    if (IsBootLoaderPath(message.name)) {
        // Start and stop hold this lock only to replace the pointer, so a matching change is
        // never dropped: it signals whichever event exists at this moment.
        const std::lock_guard lock(state_.eventMutex);
        if (state_.changeEvent) {
            state_.changeEvent->signal();
        }
    }
    return false;
}

std::shared_ptr<AutoResetEvent> DfuEngine::changeEvent() noexcept {
    const std::lock_guard lock(state_.eventMutex);
    return state_.changeEvent;
}

std::shared_ptr<AutoResetEvent> DfuEngine::exchangeChangeEvent(
    std::shared_ptr<AutoResetEvent> event) noexcept {
    const std::lock_guard lock(state_.eventMutex);
    state_.changeEvent.swap(event);
    return event;
}

ResultCode DfuEngine::StartDeviceChangeWatcher() noexcept {
    bool windowFailed = false;
    ResultCode result = DFU_SUCCESS;
    {
        const std::lock_guard lock(state_.watcherMutex);
        if (state_.initialized != 0) {
            return DFU_SUCCESS;
        }
        // Set before anything is tried: a failed start is not retried until a stop.
        state_.initialized = 1;
        result = startLibraryWatcherLocked(windowFailed);
    }
    // Shown without the lock: a start or stop on another thread must not wait for a person.
    if (windowFailed) {
        services_.showMessageBox(u"Create Dummy Dialog Failed", u"Error");
    }
    return result;
}

ResultCode DfuEngine::startLibraryWatcherLocked(bool& windowFailed) noexcept {
    try {
        SysError error = 0;
        state_.notifyWindow = services_.createNotifyWindow(kLibraryWindow, *this, error);
        if (!state_.notifyWindow) {
            windowFailed = true;
            if (error != 0) {
                return error;
            }
        }
        error = 0;
        std::shared_ptr<AutoResetEvent> event = services_.createEvent(error);
        if (!event) {
            // Without an event every reset would fail its wait: never a success.
            return error != 0 ? error : kErrorGenFailure;
        }
        exchangeChangeEvent(std::move(event));
        if (!state_.notifyWindow) {
            // Nothing to register without a window.
            return kErrorInvalidHandle;
        }
        error = 0;
        state_.notifyHandle = bus_.registerNotifications(*state_.notifyWindow, error);
        if (state_.notifyHandle) {
            return DFU_SUCCESS;
        }
        // A registration that failed without an error number must not read as a working
        // watcher: every reset would time out.
        return error != 0 ? error : kErrorGenFailure;
    } catch (...) {
        return kErrorOutOfMemory;
    }
}

SysError DfuEngine::releaseWatcher() noexcept {
    SysError result = 0;
    if (state_.notifyWindow) {
        if (const SysError error = state_.notifyWindow->destroy(); error != 0) {
            result = error;
        }
    }
    // Taken out before it is closed: the procedure then finds no event to signal, and a wait
    // that still holds it sees it closed and ends.
    if (const std::shared_ptr<AutoResetEvent> event = exchangeChangeEvent(nullptr)) {
        if (const SysError error = event->close(); error != 0) {
            result = error;
        }
    }
    if (state_.notifyHandle) {
        if (const SysError error = state_.notifyHandle->unregister(); error != 0) {
            result = error;
        }
    }
    // The registration refers to the window: it goes first.
    state_.notifyHandle.reset();
    state_.notifyWindow.reset();
    state_.initialized = 0;
    return result;
}

ResultCode DfuEngine::StopDeviceChangeWatcher() noexcept {
    const std::lock_guard lock(state_.watcherMutex);
    if (state_.initialized != 1) {
        return DFU_SUCCESS;
    }
    return releaseWatcher();
}

void DfuEngine::StartProgramDeviceChangeWatcher() noexcept {
    SysError windowError = 0;
    bool windowFailed = false;
    {
        const std::lock_guard lock(state_.watcherMutex);
        if (state_.initialized != 0) {
            return;
        }
        startProgramWatcherLocked(windowFailed, windowError);
    }
    // Shown without the lock, as in the library's start.
    if (windowFailed) {
        services_.showMessageBox(u"ERR", ErrorCodeCaption(windowError));
    }
}

void DfuEngine::startProgramWatcherLocked(bool& windowFailed, SysError& windowError) noexcept {
    try {
        SysError error = 0;
        state_.notifyWindow = services_.createNotifyWindow(kProgramWindow, *this, error);
        if (state_.notifyWindow) {
            state_.initialized = 1;
        } else {
            windowFailed = true;
            windowError = error;
            if (error != 0) {
                return;
            }
        }
        error = 0;
        std::shared_ptr<AutoResetEvent> event = services_.createEvent(error);
        const bool created = event != nullptr;
        exchangeChangeEvent(std::move(event));
        if (!created && error != 0) {
            return;
        }
        if (state_.notifyWindow) {
            state_.notifyHandle = bus_.registerNotifications(*state_.notifyWindow, error);
        }
    } catch (...) {
        // Out of memory: the program goes on without a watcher.
    }
}

void DfuEngine::StopProgramDeviceChangeWatcher() noexcept {
    const std::lock_guard lock(state_.watcherMutex);
    if (state_.initialized == 1) {
        releaseWatcher();
    }
}

}  // namespace tolvane
