#include "web_services.h"

#include "text.h"
#include "web_event_loop.h"
#include "web_js.h"

#include <emscripten.h>

#include <algorithm>

// clang-format off
EM_JS(void, tolvane_js_message_box, (const char* text, const char* caption), {
    var onMessageBox = typeof Module !== 'undefined' && Module['onMessageBox'];
    if (onMessageBox) onMessageBox(UTF8ToString(text), UTF8ToString(caption));
    else console.error(UTF8ToString(caption) + ': ' + UTF8ToString(text));
});
// clang-format on

namespace tolvane::web {

namespace {

class WebEvent final : public AutoResetEvent {
public:
    explicit WebEvent(WebServices& services) : services_(services) {}
    SysError signal() override {
        if (closed_) return kErrorInvalidHandle;
        signaled_ = true;
        return 0;
    }
    WaitResult wait(std::uint32_t timeoutMs) override {
        WebEventLoop& loop = WebEventLoop::instance();
        const std::uint64_t deadline =
            timeoutMs == kInfinite ? WebEventLoop::kNoDeadline : loop.nowMs() + timeoutMs;
        loop.runDue();
        for (;;) {
            services_.dispatchWindows();
            if (closed_) return WaitResult::Failed;
            if (signaled_) {
                signaled_ = false;
                return WaitResult::Signaled;
            }
            if (deadline != WebEventLoop::kNoDeadline && loop.nowMs() >= deadline) {
                return WaitResult::TimedOut;
            }
            loop.idleUntil(deadline);
        }
    }
    SysError close() override {
        closed_ = true;
        return 0;
    }

private:
    WebServices& services_;
    bool signaled_ = false;
    bool closed_ = false;
};

class WebNotifyWindow final : public NotifyWindow {
public:
    WebNotifyWindow(WebServices& services, std::shared_ptr<WebWindowCore> core)
        : services_(services), core_(std::move(core)) {}
    ~WebNotifyWindow() override { destroy(); }
    WebNotifyWindow(const WebNotifyWindow&) = delete;
    WebNotifyWindow& operator=(const WebNotifyWindow&) = delete;

    SysError destroy() override {
        core_->handler = nullptr;
        core_->queue.clear();
        services_.forget(core_);
        return 0;
    }
    void* nativeHandle() const override { return core_.get(); }
    void deliverDeviceChange(std::uint32_t eventType, std::u16string path) override {
        if (core_->handler) core_->queue.push_back({eventType, std::move(path)});
    }

private:
    WebServices& services_;
    std::shared_ptr<WebWindowCore> core_;
};

}  // namespace

std::unique_ptr<AutoResetEvent> WebServices::createEvent(SysError& error) {
    error = 0;
    return std::make_unique<WebEvent>(*this);
}

void WebServices::sleep(std::uint32_t ms) {
    WebEventLoop::instance().sleep(ms);
}

std::uint64_t WebServices::nowMs() {
    return WebEventLoop::instance().nowMs();
}

std::unique_ptr<NotifyWindow> WebServices::createNotifyWindow(const NotifyWindowSpec& config,
                                                              DeviceChangeHandler& handler,
                                                              SysError& error) {
    (void)config;  // nothing is drawn
    auto core = std::make_shared<WebWindowCore>();
    core->handler = &handler;
    cores_.push_back(core);
    error = 0;
    return std::make_unique<WebNotifyWindow>(*this, std::move(core));
}

void WebServices::showMessageBox(std::u16string_view text, std::u16string_view caption) {
    tolvane_js_message_box(ToUtf8(text).c_str(), ToUtf8(caption).c_str());
}

void WebServices::dispatchMessages(std::uint32_t maxWaitMs) {
    WebEventLoop& loop = WebEventLoop::instance();
    loop.runDue();
    if (!anyQueued() && maxWaitMs > 0) {
        loop.idleUntil(maxWaitMs == kInfinite ? WebEventLoop::kNoDeadline
                                              : loop.nowMs() + maxWaitMs);
    }
    dispatchWindows();
}

void WebServices::dispatchWindows() {
    // A handler may destroy windows or make new ones: walk a copy.
    const std::vector<std::shared_ptr<WebWindowCore>> cores = cores_;
    for (const auto& core : cores) {
        while (core->handler && !core->queue.empty()) {
            WebWindowCore::Message message = std::move(core->queue.front());
            core->queue.pop_front();
            core->handler->onDeviceChange(
                DeviceChangeMessage{message.eventType, kDevTypeDeviceInterface, message.path});
        }
    }
}

void WebServices::forget(const std::shared_ptr<WebWindowCore>& core) {
    cores_.erase(std::remove(cores_.begin(), cores_.end(), core), cores_.end());
}

bool WebServices::anyQueued() const {
    return std::any_of(cores_.begin(), cores_.end(),
                       [](const auto& core) { return !core->queue.empty(); });
}

}  // namespace tolvane::web
