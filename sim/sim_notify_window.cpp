#include "sim_services.h"
#include "window_core.h"

#include <algorithm>
#include <mutex>
#include <utility>

namespace tolvane::sim {

SimNotifyWindow::SimNotifyWindow(SimServices& services, std::shared_ptr<WindowCore> core)
    : services_(services), core_(std::move(core)) {
    std::lock_guard lock(services_.mutex_);
    services_.windows_.push_back(this);
}

SimNotifyWindow::~SimNotifyWindow() {
    bool abandoned = false;
    {
        std::lock_guard lock(services_.mutex_);
        auto& windows = services_.windows_;
        windows.erase(std::remove(windows.begin(), windows.end(), this), windows.end());
        if (!core_->destroyed) {
            // From another thread the system would keep the window until its thread ends; the
            // simulation has to let it go with its object.
            abandoned = std::this_thread::get_id() != core_->owner;
            core_->destroyed = true;
            core_->queue.clear();
            services_.recountLocked(*core_);
            --services_.windowsHeld_;
            auto& cores = services_.cores_;
            cores.erase(std::remove(cores.begin(), cores.end(), core_), cores.end());
        } else {
            return;
        }
    }
    services_.changed_.notify_all();
    services_.record({.call = Call::DestroyWindow,
                      .error = abandoned ? kErrorAccessDenied : 0,
                      .handle = core_->id,
                      .text = abandoned ? u"abandoned by another thread" : u""});
}

SysError SimNotifyWindow::destroy() {
    SysError error = 0;
    {
        std::lock_guard lock(services_.mutex_);
        if (core_->destroyed) return 0;
        if (std::this_thread::get_id() != core_->owner) {
            error = kErrorAccessDenied;
        } else {
            core_->destroyed = true;
            core_->queue.clear();
            services_.recountLocked(*core_);
            --services_.windowsHeld_;
            auto& cores = services_.cores_;
            cores.erase(std::remove(cores.begin(), cores.end(), core_), cores.end());
        }
    }
    services_.changed_.notify_all();
    services_.record({.call = Call::DestroyWindow, .error = error, .handle = core_->id});
    return error;
}

void* SimNotifyWindow::nativeHandle() const {
    return core_.get();
}

void SimNotifyWindow::deliverDeviceChange(std::uint32_t eventType, std::u16string path) {
    {
        std::lock_guard lock(services_.mutex_);
        if (core_->destroyed) return;
        core_->queue.push_back({false, eventType, kDevTypeDeviceInterface, std::move(path)});
        services_.recountLocked(*core_);
    }
    services_.messageQueued(core_->owner);
}

void SimNotifyWindow::deliverOtherDeviceChange(std::uint32_t eventType, std::uint32_t deviceType) {
    {
        std::lock_guard lock(services_.mutex_);
        if (core_->destroyed) return;
        core_->queue.push_back({false, eventType, deviceType, {}});
        services_.recountLocked(*core_);
    }
    services_.messageQueued(core_->owner);
}

void SimNotifyWindow::postCommand(WindowCommand command) {
    {
        std::lock_guard lock(services_.mutex_);
        if (core_->destroyed) return;
        core_->queue.push_back({true, static_cast<std::uint32_t>(command), 0, {}});
        services_.recountLocked(*core_);
    }
    services_.messageQueued(core_->owner);
}

std::uint32_t SimNotifyWindow::id() const {
    return core_->id;
}
std::thread::id SimNotifyWindow::owner() const {
    return core_->owner;
}
NotifyWindowSpec SimNotifyWindow::config() const {
    return core_->config;
}

bool SimNotifyWindow::destroyed() const {
    std::lock_guard lock(services_.mutex_);
    return core_->destroyed;
}

std::size_t SimNotifyWindow::queuedMessages() const {
    std::lock_guard lock(services_.mutex_);
    return core_->queue.size();
}

}  // namespace tolvane::sim
