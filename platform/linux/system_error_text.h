// Short texts for the system error numbers that the Linux backend reports, worded as the system
// that defined the numbers words them, so that a number reads the same on either platform.
#pragma once

#include "hid_bus.h"

#include <string>

namespace tolvane::hidraw {

// The text for `error`; "System error N." for a number without one of its own. Never empty.
std::string SystemErrorTextFor(SysError error);

}  // namespace tolvane::hidraw
