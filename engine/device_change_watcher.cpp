// The hidden window that learns of the boot loader's arrival and removal, and its checks.
#include "dfu_engine.h"

#include <mutex>
#include <string>

namespace tolvane {

namespace {

constexpr NotifyWindowSpec kLibraryWindow{60, 14};
constexpr NotifyWindowSpec kProgramWindow{80, 20};

// Folds ASCII letters only, as the C locale does, so the result never depends on a locale.
constexpr char16_t FoldCase(char16_t c) {
    return (c >= u'A' && c <= u'Z') ? static_cast<char16_t>(c - u'A' + u'a') : c;
}

// Compares the beginning of `name` with `prefix` over exactly the prefix's length; the end of
// `name` counts as a terminator, so a shorter name never matches.
bool StartsWithIgnoringCase(std::u16string_view name, std::u16string_view prefix) {
    for (std::size_t i = 0; i < prefix.size(); ++i) {
        const char16_t c = i < name.size() ? name[i] : u'\0';
        if (c == u'\0' || FoldCase(c) != FoldCase(prefix[i])) {
            return false;
        }
    }
    return true;
}

std::u16string ErrorCodeCaption(SysError error) {
    // The caption shows the number as a signed decimal.
    const std::string digits = std::to_string(static_cast<std::int32_t>(error));
    std::u16string caption = u"Error Code = ";
    caption.append(digits.begin(), digits.end());
    return caption;
}

}  // namespace

bool IsBootLoaderPath(std::u16string_view name) noexcept {
    return StartsWithIgnoringCase(name, DFU_PATH_PREFIX_1) ||
           StartsWithIgnoringCase(name, DFU_PATH_PREFIX_2);
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
    // A start or stop running on another thread may be replacing the event: the change is not
    // awaited by a watcher that is coming or going, so it is dropped rather than waited for.
    const std::unique_lock lock(state_.watcherMutex, std::try_to_lock);
    if (!lock.owns_lock()) {
        return false;
    }
    if (IsBootLoaderPath(message.name) && state_.changeEvent) {
        state_.changeEvent->signal();
    }
    return false;
}

ResultCode DfuEngine::StartDeviceChangeWatcher() noexcept {
    const std::lock_guard lock(state_.watcherMutex);
    if (state_.initialized != 0) {
        return DFU_SUCCESS;
    }
    // Set before anything is tried: a failed start is not retried until a stop.
    state_.initialized = 1;
    try {
        SysError error = 0;
        state_.notifyWindow = services_.createNotifyWindow(kLibraryWindow, *this, error);
        if (!state_.notifyWindow) {
            services_.showMessageBox(u"Create Dummy Dialog Failed", u"Error");
            if (error != 0) {
                return error;
            }
        }
        error = 0;
        state_.changeEvent = services_.createEvent(error);
        if (!state_.changeEvent && error != 0) {
            return error;
        }
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
    if (state_.changeEvent) {
        if (const SysError error = state_.changeEvent->close(); error != 0) {
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
    state_.changeEvent.reset();
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
    const std::lock_guard lock(state_.watcherMutex);
    if (state_.initialized != 0) {
        return;
    }
    try {
        SysError error = 0;
        state_.notifyWindow = services_.createNotifyWindow(kProgramWindow, *this, error);
        if (state_.notifyWindow) {
            state_.initialized = 1;
        } else {
            services_.showMessageBox(u"ERR", ErrorCodeCaption(error));
            if (error != 0) {
                return;
            }
        }
        error = 0;
        state_.changeEvent = services_.createEvent(error);
        if (!state_.changeEvent && error != 0) {
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
