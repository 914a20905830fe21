#include "win32_services.h"

#include "fine_timer_resolution.h"
#include "wide_text.h"
#include "win32_auto_reset_event.h"
#include "win32_notify_window.h"

#include <new>
#include <string>

namespace tolvane {

using win32::UniqueKernelHandle;

std::unique_ptr<AutoResetEvent> Win32Services::createEvent(SysError& error) {
    UniqueKernelHandle event(CreateEventW(nullptr, FALSE, FALSE, nullptr));
    if (!event) {
        error = GetLastError();
        return nullptr;
    }
    try {
        error = 0;
        return std::make_unique<win32::Win32AutoResetEvent>(std::move(event));
    } catch (const std::bad_alloc&) {
        error = ERROR_OUTOFMEMORY;
        return nullptr;
    }
}

void Win32Services::sleep(std::uint32_t ms) {
    Sleep(ms);
}

std::uint64_t Win32Services::nowMs() {
    return GetTickCount64();
}

std::unique_ptr<TimerResolutionHold> Win32Services::holdFineTimerResolution() {
    return win32::FineTimerResolution::Acquire();
}

int Win32Services::FineTimerPeriodsHeld() noexcept {
    return win32::FineTimerResolution::PeriodsHeld();
}

std::unique_ptr<NotifyWindow> Win32Services::createNotifyWindow(const NotifyWindowSpec& config,
                                                                DeviceChangeHandler& handler,
                                                                SysError& error) {
    try {
        auto window = std::make_unique<win32::Win32NotifyWindow>(handler);
        error = window->create(config);
        if (!window->created()) {
            return nullptr;
        }
        return window;
    } catch (const std::bad_alloc&) {
        error = ERROR_OUTOFMEMORY;
        return nullptr;
    }
}

void Win32Services::showMessageBox(std::u16string_view text, std::u16string_view caption) {
    try {
        const std::wstring wideText = win32::ToWide(text);
        const std::wstring wideCaption = win32::ToWide(caption);
        MessageBoxW(nullptr, wideText.c_str(), wideCaption.c_str(), MB_OK);
    } catch (const std::bad_alloc&) {
        // Nothing to show it with.
    }
}

void Win32Services::dispatchMessages(std::uint32_t maxWaitMs) {
    MSG message{};
    if (!PeekMessageW(&message, nullptr, 0, 0, PM_NOREMOVE)) {
        MsgWaitForMultipleObjectsEx(0, nullptr, maxWaitMs, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
    }
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitExitCode_.store(static_cast<int>(message.wParam));
            quitRequested_.store(true);
            return;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

}  // namespace tolvane
