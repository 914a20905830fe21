#include "line/arrival_listener.h"

namespace tolvane::cli {

namespace {

// How long one dispatch waits for a message before the stop flag is looked at again.
constexpr std::uint32_t kDispatchSliceMs = 20;
constexpr NotifyWindowSpec kListenerWindow{60, 14};

}  // namespace

ArrivalListener::ArrivalListener(HidBus& bus, SystemServices& services, std::function<void()> heard)
    : bus_(bus), services_(services), heard_(std::move(heard)) {}

ArrivalListener::~ArrivalListener() {
    stop();
}

SysError ArrivalListener::start() {
    std::promise<SysError> started;
    auto result = started.get_future();
    stopping_ = false;
    thread_ = std::thread([this, &started] { run(started); });
    const SysError error = result.get();
    if (error != 0) stop();
    return error;
}

void ArrivalListener::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    thread_.join();
}

void ArrivalListener::onDeviceChange(const DeviceChangeMessage& message) {
    if (message.deviceType != kDevTypeDeviceInterface) return;
    if (message.eventType == kDeviceArrival || message.eventType == kDeviceRemoveComplete) {
        heard_();
    }
}

// The window and its registration live and die on this thread, which owns the window.
void ArrivalListener::run(std::promise<SysError>& started) {
    SysError error = 0;
    std::unique_ptr<NotifyWindow> window;
    std::unique_ptr<NotificationRegistration> registration;
    try {
        window = services_.createNotifyWindow(kListenerWindow, *this, error);
        if (window) registration = bus_.registerNotifications(*window, error);
    } catch (...) {
        error = kErrorOutOfMemory;
    }
    if (!registration) {
        if (window) window->destroy();
        started.set_value(error != 0 ? error : kErrorGenFailure);
        return;
    }
    started.set_value(0);
    while (!stopping_) services_.dispatchMessages(kDispatchSliceMs);
    registration->unregister();
    registration.reset();
    window->destroy();
}

}  // namespace tolvane::cli
