// System services that forward every call to other services and write one recording line per
// call: events created, waited on (with what ended the wait and how long it took) and closed,
// sleeps, the notify window, message boxes, and each device-change notification the window
// handles. The clock and message dispatch are forwarded without lines: they are polled, not asked.
#pragma once

#include "recorder.h"
#include "system_services.h"

namespace tolvane::record {

class RecordingServices final : public SystemServices {
public:
    RecordingServices(SystemServices& inner, Recorder& recorder)
        : inner_(inner), recorder_(recorder) {}

    std::unique_ptr<AutoResetEvent> createEvent(SysError& error) override;
    void sleep(std::uint32_t ms) override;
    std::uint64_t nowMs() override { return inner_.nowMs(); }
    std::unique_ptr<TimerResolutionHold> holdFineTimerResolution() override {
        return inner_.holdFineTimerResolution();
    }
    std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec& config,
                                                     DeviceChangeHandler& handler,
                                                     SysError& error) override;
    void showMessageBox(std::u16string_view text, std::u16string_view caption) override;
    void dispatchMessages(std::uint32_t maxWaitMs) override { inner_.dispatchMessages(maxWaitMs); }

private:
    SystemServices& inner_;
    Recorder& recorder_;
};

const char* WaitResultName(WaitResult result);
// The window a recording window wraps, so that a bus below the recording registers the system's
// own window; any other window as it is.
NotifyWindow& UnwrappedWindow(NotifyWindow& window);

}  // namespace tolvane::record
