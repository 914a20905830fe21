// The devices' side of a run once its bus stack stands, and what each command's engine is given
// of it.
#pragma once

#include "buses/locking_hid_bus.h"
#include "buses/tracking_hid_bus.h"
#include "hid_bus.h"
#include "output/progress_display.h"
#include "system_services.h"
#include "tool/run_interrupts.h"
#include "tool/tool_platform.h"
#include "update/engine_command.h"

namespace tolvane::cli {

struct RunDevices {
    HidBus& bus;  // the top of the stack
    SystemServices& services;
    TrackingHidBus& tracked;  // the stack's tracking layer
    // The lock against other tool processes while a real device is worked on; else null.
    const LockingHidBus* locks = nullptr;
};

// How many devices an engine shares the run with.
enum class EngineShare { Alone, WithOthers };

// What a device's engine is given: the run's bus, services and interrupt rules, and a display of
// its own. Beside others, each tells its step by its port, an interrupt is reported once for all,
// and a device that another tool process holds is left alone.
CommandContext EngineContext(const RunDevices& devices, ProgressDisplay& display,
                             RunInterrupts& interrupts, const ToolPlatform& platform,
                             EngineShare share);

}  // namespace tolvane::cli
