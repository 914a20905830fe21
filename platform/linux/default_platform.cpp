// The real platform of the Linux build: hidraw through udev, and the POSIX services. Neither
// object holds an operating-system resource until it is used, and nothing either hands out
// refers back to it, so the order of their destruction at exit does not matter.
//
// Notifications are handled on the udev monitor's thread as they come: a program that calls
// the shared library has no message loop that would dispatch them on the thread that started the
// watcher, and the engine's checks only read an atomic value and signal an event, which any
// thread may do. The window's destruction still waits for a check in progress.
#include "errno_error.h"
#include "hidraw_bus.h"
#include "platform.h"
#include "posix_services.h"
#include "system_error_text.h"

namespace tolvane::platform {

HidBus& DefaultHidBus() {
    static hidraw::HidrawBus bus;
    return bus;
}

SystemServices& DefaultServices() {
    static posix::PosixServices services(posix::NotificationDelivery::DeliveringThread);
    return services;
}

std::string SystemErrorText(SysError error) {
    return hidraw::SystemErrorTextFor(error);
}

std::string LastNativeErrorDetail() {
    return hidraw::LastFailureErrnoDetail();
}

}  // namespace tolvane::platform
