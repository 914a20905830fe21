// Hands each HID interface arrival and removal only to the windows waiting at its port.
//
// Engines confined to ports (update --all, the station) each register a window of their own;
// registered with the bus directly, every window hears every device's changes, so N devices that
// re-enumerate make N² notifications, each a message handled on another thread. The router
// registers one window of its own, asks the port of each arriving interface once, and passes the
// notification on to the windows registered for that port. A removal goes where its interface
// was seen. A change whose port it cannot tell (the interface has gone, the backend knows no
// ports) goes to every window, as without the router, so nothing is lost, only not saved.
#pragma once

#include "hid_bus.h"
#include "system_services.h"

#include <atomic>
#include <cstdint>
#include <future>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <unordered_map>
#include <vector>

namespace tolvane {

class ArrivalRouter final : private DeviceChangeHandler {
public:
    ArrivalRouter(HidBus& bus, SystemServices& services);
    // Stops the thread if it still runs. The buses it gave out must be gone by then.
    ~ArrivalRouter() override;
    ArrivalRouter(const ArrivalRouter&) = delete;
    ArrivalRouter& operator=(const ArrivalRouter&) = delete;

    // Starts the thread that owns the router's window and dispatches its messages; 0 once the
    // window is registered, else the error number, and the buses register with the bus directly.
    SysError start();
    void stop();

    // The bus for an engine confined to `port`: everything goes on to the router's bus, except
    // that a window registered through it hears only the changes at that port (and those of no
    // known port). The router must outlive it.
    std::unique_ptr<HidBus> busFor(std::string port);

private:
    class PortBus;
    class Registration;

    struct Target {
        std::uint32_t id = 0;
        NotifyWindow* window = nullptr;
    };

    void onDeviceChange(const DeviceChangeMessage& message) override;
    void run(std::promise<SysError>& started);
    // Null when the router is not running (the caller registers with the bus itself).
    std::unique_ptr<NotificationRegistration> add(const std::string& port, NotifyWindow& window);
    void remove(std::uint32_t id);
    // A port read through one of the router's buses: its removal then finds the way too.
    void remember(std::u16string_view path, const std::string& port);
    // Caller holds mutex_.
    void deliverLocked(const std::string* port, const DeviceChangeMessage& message);

    HidBus& bus_;
    SystemServices& services_;
    std::mutex mutex_;
    bool running_ = false;
    std::uint32_t nextId_ = 1;
    std::unordered_map<std::string, std::vector<Target>> byPort_;
    std::unordered_map<std::u16string, std::string> portOfPath_;  // paths in lower case
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace tolvane
