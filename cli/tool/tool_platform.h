// What the tool is given of the system it runs on, and where its output goes.
#pragma once

#include "hid_bus.h"
#include "system/device_lock.h"
#include "system/interrupt_source.h"
#include "system/udev_rules_installer.h"
#include "system_services.h"

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <string_view>

namespace tolvane::cli {

struct ToolIo {
    std::ostream& out;
    std::ostream& err;
    bool outIsTerminal = false;
    bool errIsTerminal = false;
};

struct ToolPlatform {
    HidBus& bus;
    SystemServices& services;
    // A short text for a system error number (never empty).
    std::function<std::string(SysError)> errorText;
    // On the calling thread: what the system said about the last failed bus call beyond its
    // number, or empty.
    std::function<std::string()> nativeErrorDetail;
    // Where interrupts come from; none when null.
    InterruptSource* interrupts = nullptr;
    // Ends the process at once with the given exit code, for an interrupt that must not wait
    // for the engine; when empty, the run waits for the engine's step and returns the code.
    std::function<void(int)> exitNow;
    UdevSystem udev;
    // Takes the lock of a USB port against other tool processes (DeviceLock::takePort); when
    // empty, devices are locked by their nodes only, as a test's simulated ports are its own.
    std::function<std::unique_ptr<DeviceLock>(std::string_view port, DeviceLock::Outcome&)>
        portLock{};
};

}  // namespace tolvane::cli
