// The real platform of this build: one process-wide HID bus and one set of system services.
// Creating them creates no operating-system resource; the first use of an entry does.
#pragma once

#include "hid_bus.h"
#include "system_services.h"

namespace tolvane::platform {

HidBus& DefaultHidBus();
SystemServices& DefaultServices();

}  // namespace tolvane::platform
