// Hears of every HID interface that arrives or leaves: a hidden window of its own, registered for
// interface notifications, on a thread that keeps dispatching its messages. The station wakes on
// what it hears instead of polling the bus.
#pragma once

#include "hid_bus.h"
#include "system_services.h"

#include <atomic>
#include <functional>
#include <future>
#include <thread>

namespace tolvane::cli {

class ArrivalListener final : private DeviceChangeHandler {
public:
    // `heard` runs on the listener's thread for each arrival and removal of an interface.
    ArrivalListener(HidBus& bus, SystemServices& services, std::function<void()> heard);
    // Stops the thread if it still runs.
    ~ArrivalListener() override;
    ArrivalListener(const ArrivalListener&) = delete;
    ArrivalListener& operator=(const ArrivalListener&) = delete;

    // Starts the thread; 0 once the window is registered, else the error number.
    SysError start();
    void stop();

private:
    void onDeviceChange(const DeviceChangeMessage& message) override;
    void run(std::promise<SysError>& started);

    HidBus& bus_;
    SystemServices& services_;
    std::function<void()> heard_;
    std::atomic<bool> stopping_{false};
    std::thread thread_;
};

}  // namespace tolvane::cli
