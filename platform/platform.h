// The real platform of this build: one process-wide HID bus and one set of system services.
// Creating them creates no operating-system resource; the first use of an entry does.
#pragma once

#include "hid_bus.h"
#include "system_services.h"

#include <string>

namespace tolvane::platform {

HidBus& DefaultHidBus();
SystemServices& DefaultServices();

// A short text for people about a system error number: the system's own message on Windows; on
// Linux, where the bus maps errno values to these numbers, the text of the error the number
// stands for. Never empty.
std::string SystemErrorText(SysError error);
// On Linux, the errno value behind the last error number a bus call on this thread reported, as
// "errno N (text)"; on Windows, where the number is the system's own, what the last transfer
// of this thread that ran into its time limit went through (which call, how many cancellations).
// Empty when there is nothing to add.
std::string LastNativeErrorDetail();

}  // namespace tolvane::platform
