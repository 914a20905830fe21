#include "recording_services.h"

#include <utility>

namespace tolvane::record {
namespace {

RecordLine& WithError(RecordLine& line, SysError error) {
    if (error != 0) line.number("e", error);
    return line;
}

class RecordingEvent final : public AutoResetEvent {
public:
    RecordingEvent(std::unique_ptr<AutoResetEvent> inner, Recorder& recorder, std::uint32_t number)
        : inner_(std::move(inner)), recorder_(recorder), number_(number) {}

    SysError signal() override {
        const SysError error = inner_->signal();
        RecordLine out("signal");
        out.number("ev", number_);
        recorder_.write(WithError(out, error));
        return error;
    }
    WaitResult wait(std::uint32_t timeoutMs) override {
        const std::uint64_t at = recorder_.offsetUs();
        const WaitResult result = inner_->wait(timeoutMs);
        const std::uint64_t took = recorder_.offsetUs() - at;
        recorder_.write(RecordLine("wait")
                            .number("ev", number_)
                            .number("ms", timeoutMs)
                            .text("r", WaitResultName(result))
                            .number("us", took),
                        at);
        return result;
    }
    SysError close() override {
        const SysError error = inner_->close();
        RecordLine out("event_close");
        out.number("ev", number_);
        recorder_.write(WithError(out, error));
        return error;
    }

private:
    std::unique_ptr<AutoResetEvent> inner_;
    Recorder& recorder_;
    std::uint32_t number_;
};

// Writes a line for each notification the window hands to the engine, then passes it on.
class RecordingHandler final : public DeviceChangeHandler {
public:
    RecordingHandler(DeviceChangeHandler& inner, Recorder& recorder)
        : inner_(inner), recorder_(recorder) {}

    void onDeviceChange(const DeviceChangeMessage& message) override {
        recorder_.write(RecordLine("notice")
                            .number("event", message.eventType)
                            .number("type", message.deviceType)
                            .text("path", message.name));
        inner_.onDeviceChange(message);
    }

private:
    DeviceChangeHandler& inner_;
    Recorder& recorder_;
};

class RecordingWindow final : public NotifyWindow {
public:
    RecordingWindow(std::unique_ptr<RecordingHandler> handler, std::unique_ptr<NotifyWindow> inner,
                    Recorder& recorder)
        : handler_(std::move(handler)), inner_(std::move(inner)), recorder_(recorder) {}

    SysError destroy() override {
        const SysError error = inner_->destroy();
        RecordLine out("window_close");
        recorder_.write(WithError(out, error));
        return error;
    }
    NotifyWindow& inner() { return *inner_; }
    void* nativeHandle() const override { return inner_->nativeHandle(); }
    void deliverDeviceChange(std::uint32_t eventType, std::u16string path) override {
        inner_->deliverDeviceChange(eventType, std::move(path));
    }

private:
    // The handler outlives the window that calls it.
    std::unique_ptr<RecordingHandler> handler_;
    std::unique_ptr<NotifyWindow> inner_;
    Recorder& recorder_;
};

}  // namespace

NotifyWindow& UnwrappedWindow(NotifyWindow& window) {
    if (auto* recording = dynamic_cast<RecordingWindow*>(&window)) return recording->inner();
    return window;
}

const char* WaitResultName(WaitResult result) {
    switch (result) {
        case WaitResult::Signaled:
            return "signaled";
        case WaitResult::TimedOut:
            return "timed_out";
        case WaitResult::Failed:
            break;
    }
    return "failed";
}

std::unique_ptr<AutoResetEvent> RecordingServices::createEvent(SysError& error) {
    const std::uint64_t at = recorder_.offsetUs();
    auto event = inner_.createEvent(error);
    RecordLine out("event");
    if (!event) {
        recorder_.write(WithError(out.flag("ok", false), error), at);
        return event;
    }
    const std::uint32_t number = recorder_.nextEvent();
    recorder_.write(out.number("ev", number), at);
    return std::make_unique<RecordingEvent>(std::move(event), recorder_, number);
}

void RecordingServices::sleep(std::uint32_t ms) {
    const std::uint64_t at = recorder_.offsetUs();
    inner_.sleep(ms);
    const std::uint64_t took = recorder_.offsetUs() - at;
    recorder_.write(RecordLine("sleep").number("ms", ms).number("us", took), at);
}

std::unique_ptr<NotifyWindow> RecordingServices::createNotifyWindow(const NotifyWindowSpec& config,
                                                                    DeviceChangeHandler& handler,
                                                                    SysError& error) {
    const std::uint64_t at = recorder_.offsetUs();
    auto recordingHandler = std::make_unique<RecordingHandler>(handler, recorder_);
    auto window = inner_.createNotifyWindow(config, *recordingHandler, error);
    RecordLine out("window");
    out.number("width", config.buttonWidth).number("height", config.buttonHeight);
    out.flag("ok", window != nullptr);
    recorder_.write(WithError(out, error), at);
    if (!window) return window;
    return std::make_unique<RecordingWindow>(std::move(recordingHandler), std::move(window),
                                             recorder_);
}

void RecordingServices::showMessageBox(std::u16string_view text, std::u16string_view caption) {
    const std::uint64_t at = recorder_.offsetUs();
    inner_.showMessageBox(text, caption);
    recorder_.write(RecordLine("message_box").text("text", text).text("caption", caption), at);
}

}  // namespace tolvane::record
