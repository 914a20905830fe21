#include "arrival_router.h"

#include "forwarding_hid_bus.h"

#include <algorithm>

namespace tolvane {

namespace {

// How long one dispatch waits for a message before the stop flag is looked at again.
constexpr std::uint32_t kDispatchSliceMs = 20;
constexpr NotifyWindowSpec kRouterWindow{60, 14};

// Paths compare without regard to ASCII case, as the system compares them.
std::u16string LowerCase(std::u16string_view path) {
    std::u16string lower(path);
    for (char16_t& c : lower) {
        if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c - u'A' + u'a');
    }
    return lower;
}

}  // namespace

class ArrivalRouter::Registration final : public NotificationRegistration {
public:
    Registration(ArrivalRouter& router, std::uint32_t id) : router_(router), id_(id) {}
    ~Registration() override { unregister(); }
    Registration(const Registration&) = delete;
    Registration& operator=(const Registration&) = delete;

    SysError unregister() override {
        if (!active_) return 0;
        active_ = false;
        router_.remove(id_);
        return 0;
    }

private:
    ArrivalRouter& router_;
    const std::uint32_t id_;
    bool active_ = true;
};

class ArrivalRouter::PortBus final : public ForwardingHidBus {
public:
    PortBus(ArrivalRouter& router, std::string port)
        : ForwardingHidBus(router.bus_), router_(router), port_(std::move(port)) {}

    std::unique_ptr<NotificationRegistration> registerNotifications(NotifyWindow& window,
                                                                    SysError& error) override {
        std::unique_ptr<NotificationRegistration> routed = router_.add(port_, window);
        if (!routed) return ForwardingHidBus::registerNotifications(window, error);
        error = 0;
        return routed;
    }

    SysError portOf(std::u16string_view path, std::string& port) override {
        const SysError error = ForwardingHidBus::portOf(path, port);
        if (error == 0) router_.remember(path, port);
        return error;
    }

private:
    ArrivalRouter& router_;
    const std::string port_;
};

ArrivalRouter::ArrivalRouter(HidBus& bus, SystemServices& services)
    : bus_(bus), services_(services) {}

ArrivalRouter::~ArrivalRouter() {
    stop();
}

SysError ArrivalRouter::start() {
    std::promise<SysError> started;
    auto result = started.get_future();
    stopping_ = false;
    thread_ = std::thread([this, &started] { run(started); });
    const SysError error = result.get();
    if (error != 0) stop();
    return error;
}

void ArrivalRouter::stop() {
    if (!thread_.joinable()) return;
    stopping_ = true;
    thread_.join();
}

std::unique_ptr<HidBus> ArrivalRouter::busFor(std::string port) {
    return std::make_unique<PortBus>(*this, std::move(port));
}

// The window and its registration live and die on this thread, which owns the window.
void ArrivalRouter::run(std::promise<SysError>& started) {
    SysError error = 0;
    std::unique_ptr<NotifyWindow> window;
    std::unique_ptr<NotificationRegistration> registration;
    try {
        window = services_.createNotifyWindow(kRouterWindow, *this, error);
        if (window) registration = bus_.registerNotifications(*window, error);
    } catch (...) {
        error = kErrorOutOfMemory;
    }
    if (!registration) {
        if (window) window->destroy();
        started.set_value(error != 0 ? error : kErrorGenFailure);
        return;
    }
    {
        const std::lock_guard lock(mutex_);
        running_ = true;
    }
    started.set_value(0);
    while (!stopping_) services_.dispatchMessages(kDispatchSliceMs);
    {
        const std::lock_guard lock(mutex_);
        running_ = false;
    }
    registration->unregister();
    registration.reset();
    window->destroy();
}

std::unique_ptr<NotificationRegistration> ArrivalRouter::add(const std::string& port,
                                                             NotifyWindow& window) {
    const std::lock_guard lock(mutex_);
    if (!running_) return nullptr;
    const std::uint32_t id = nextId_++;
    byPort_[port].push_back({id, &window});
    return std::make_unique<Registration>(*this, id);
}

void ArrivalRouter::remove(std::uint32_t id) {
    const std::lock_guard lock(mutex_);
    for (auto& [port, targets] : byPort_) {
        std::erase_if(targets, [id](const Target& target) { return target.id == id; });
    }
}

void ArrivalRouter::remember(std::u16string_view path, const std::string& port) {
    if (port.empty()) return;
    const std::lock_guard lock(mutex_);
    portOfPath_.insert_or_assign(LowerCase(path), port);
}

void ArrivalRouter::deliverLocked(const std::string* port, const DeviceChangeMessage& message) {
    const auto handTo = [&message](const std::vector<Target>& targets) {
        for (const Target& target : targets) {
            target.window->deliverDeviceChange(message.eventType, std::u16string(message.name));
        }
    };
    if (port) {
        if (const auto found = byPort_.find(*port); found != byPort_.end()) handTo(found->second);
        return;
    }
    for (const auto& [at, targets] : byPort_) handTo(targets);
}

void ArrivalRouter::onDeviceChange(const DeviceChangeMessage& message) {
    // A window is handed interface records only; the engines look at nothing else.
    if (message.deviceType != kDevTypeDeviceInterface) return;
    try {
        std::string port;
        if (message.eventType == kDeviceArrival) {
            // Asked without the lock: the bus may take its own.
            if (bus_.portOf(message.name, port) != 0) port.clear();
            remember(message.name, port);
        }
        const std::lock_guard lock(mutex_);
        if (message.eventType != kDeviceArrival) {
            const auto found = portOfPath_.find(LowerCase(message.name));
            if (found != portOfPath_.end()) {
                port = found->second;
                if (message.eventType == kDeviceRemoveComplete) portOfPath_.erase(found);
            }
        }
        deliverLocked(port.empty() ? nullptr : &port, message);
    } catch (...) {
        // No memory to route it: it goes nowhere rather than everywhere half-way.
    }
}

}  // namespace tolvane
