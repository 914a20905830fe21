// What the simulated services keep of a notify window: shared by the window object and the
// services, so the services can dispatch to a window whose object another thread holds.
#pragma once

#include "system_services.h"

#include <cstdint>
#include <deque>
#include <string>
#include <thread>

namespace tolvane::sim {

struct WindowMessage {
    bool command = false;
    std::uint32_t eventType = 0;  // or the WindowCommand
    std::uint32_t deviceType = 0;
    std::u16string name;
};

struct WindowCore {
    std::uint32_t id = 0;
    std::thread::id owner;
    DeviceChangeHandler* handler = nullptr;
    NotifyWindowSpec config;
    std::deque<WindowMessage> queue;
    int dispatching = 0;  // messages being handled on the owner thread right now
    bool destroyed = false;
    bool countedBusy =
        false;  // counted among the services' busy windows (SimServices::recountLocked)
};

}  // namespace tolvane::sim
