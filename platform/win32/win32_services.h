// The system services on the Windows kernel and user interface: events, sleep and the clock, the
// hidden notification window with its message dispatch, and message boxes.
#pragma once

#include "system_services.h"

#include <atomic>

namespace tolvane {

class Win32Services final : public SystemServices {
public:
    std::unique_ptr<AutoResetEvent> createEvent(SysError& error) override;
    void sleep(std::uint32_t ms) override;
    // GetTickCount64.
    std::uint64_t nowMs() override;
    // timeBeginPeriod(1) until the hold is destroyed (timeEndPeriod(1)).
    std::unique_ptr<TimerResolutionHold> holdFineTimerResolution() override;
    // How many such periods the process holds at the moment.
    static int FineTimerPeriodsHeld() noexcept;
    std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec& config,
                                                     DeviceChangeHandler& handler,
                                                     SysError& error) override;
    void showMessageBox(std::u16string_view text, std::u16string_view caption) override;
    // When nothing is queued for the calling thread, waits up to maxWaitMs for a message to
    // arrive (MsgWaitForMultipleObjectsEx, any input); then retrieves and dispatches every
    // message queued for the thread (PeekMessageW, TranslateMessage, DispatchMessageW; no
    // IsDialogMessageW) and returns. Messages sent from other threads are handled during both.
    // WM_QUIT ends the dispatch: it is consumed and remembered, see quitRequested().
    void dispatchMessages(std::uint32_t maxWaitMs) override;

    // Whether dispatchMessages has retrieved WM_QUIT, and its exit code.
    bool quitRequested() const noexcept { return quitRequested_.load(); }
    int quitExitCode() const noexcept { return quitExitCode_.load(); }

private:
    std::atomic<bool> quitRequested_{false};
    std::atomic<int> quitExitCode_{0};
};

namespace platform {
// The process-wide Windows services behind DefaultServices(), with their Windows-only queries.
Win32Services& DefaultWin32Services();
}  // namespace platform

}  // namespace tolvane
