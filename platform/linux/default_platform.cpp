// The real platform of the Linux build: hidraw through udev, and the POSIX services. Neither
// object holds an operating-system resource until it is used, and nothing either hands out
// refers back to it, so the order of their destruction at exit does not matter.
#include "hidraw_bus.h"
#include "platform.h"
#include "posix_services.h"

namespace tolvane::platform {

HidBus& DefaultHidBus() {
    static hidraw::HidrawBus bus;
    return bus;
}

SystemServices& DefaultServices() {
    static posix::PosixServices services;
    return services;
}

}  // namespace tolvane::platform
