// System services that answer from a recording on its virtual clock: sleeps and waits end at once
// with the recorded outcome, and the clock jumps to the recorded moments, so a 30-second wait
// replays in no time. Signals and notifications are not replayed: a wait ends as recorded.
#pragma once

#include "replay_script.h"
#include "system_services.h"

namespace tolvane::record {

class ReplayServices final : public SystemServices {
public:
    explicit ReplayServices(ReplayScript& script) : script_(script) {}

    std::unique_ptr<AutoResetEvent> createEvent(SysError& error) override;
    void sleep(std::uint32_t ms) override;
    std::uint64_t nowMs() override { return script_.timeline().nowMs(); }
    std::unique_ptr<NotifyWindow> createNotifyWindow(const NotifyWindowSpec& config,
                                                     DeviceChangeHandler& handler,
                                                     SysError& error) override;
    void showMessageBox(std::u16string_view text, std::u16string_view caption) override;
    // Nothing is ever queued; waits a moment of real time so that a dispatch loop does not spin.
    void dispatchMessages(std::uint32_t maxWaitMs) override;

private:
    ReplayScript& script_;
};

}  // namespace tolvane::record
