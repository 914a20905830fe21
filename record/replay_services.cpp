#include "replay_services.h"

#include "recording_services.h"
#include "replay_hid_bus.h"

#include <algorithm>
#include <chrono>
#include <thread>

namespace tolvane::record {
namespace {

class ReplayEvent final : public AutoResetEvent {
public:
    ReplayEvent(ReplayScript& script, std::uint64_t number) : script_(script), number_(number) {}

    SysError signal() override { return 0; }
    WaitResult wait(std::uint32_t timeoutMs) override {
        const auto recorded =
            script_.expect(RecordLine("wait").number("ev", number_).number("ms", timeoutMs));
        const std::string result = recorded ? recorded->textOf("r").value_or("") : "";
        if (result == WaitResultName(WaitResult::Signaled)) return WaitResult::Signaled;
        if (result == WaitResultName(WaitResult::TimedOut)) return WaitResult::TimedOut;
        return WaitResult::Failed;
    }
    SysError close() override {
        return RecordedError(script_.expect(RecordLine("event_close").number("ev", number_)));
    }

private:
    ReplayScript& script_;
    std::uint64_t number_;
};

class ReplayWindow final : public NotifyWindow {
public:
    explicit ReplayWindow(ReplayScript& script) : script_(script) {}

    SysError destroy() override {
        return RecordedError(script_.expect(RecordLine("window_close")));
    }
    void* nativeHandle() const override { return nullptr; }
    void deliverDeviceChange(std::uint32_t, std::u16string) override {}

private:
    ReplayScript& script_;
};

}  // namespace

std::unique_ptr<AutoResetEvent> ReplayServices::createEvent(SysError& error) {
    const auto recorded = script_.expect(RecordLine("event"));
    error = RecordedError(recorded);
    const auto number = recorded ? recorded->numberOf("ev") : std::nullopt;
    if (!number) return nullptr;
    return std::make_unique<ReplayEvent>(script_, *number);
}

void ReplayServices::sleep(std::uint32_t ms) {
    // Once the run has left the recording, a pause still lets the virtual time pass, so that a
    // loop bounded by time ends and the run reports the mismatch instead of spinning.
    if (!script_.expect(RecordLine("sleep").number("ms", ms))) script_.timeline().advanceBy(ms);
}

std::unique_ptr<NotifyWindow> ReplayServices::createNotifyWindow(const NotifyWindowSpec& config,
                                                                 DeviceChangeHandler& handler,
                                                                 SysError& error) {
    (void)handler;
    const auto recorded = script_.expect(RecordLine("window")
                                             .number("width", config.buttonWidth)
                                             .number("height", config.buttonHeight));
    error = RecordedError(recorded);
    if (!recorded || recorded->raw("ok") != "true") return nullptr;
    return std::make_unique<ReplayWindow>(script_);
}

void ReplayServices::showMessageBox(std::u16string_view text, std::u16string_view caption) {
    script_.expect(RecordLine("message_box").text("text", text).text("caption", caption));
}

void ReplayServices::dispatchMessages(std::uint32_t maxWaitMs) {
    std::this_thread::sleep_for(std::chrono::milliseconds(std::min<std::uint32_t>(maxWaitMs, 2)));
}

}  // namespace tolvane::record
