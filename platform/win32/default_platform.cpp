// The Windows platform of this build: the process-wide HID bus and system services.
#include "platform.h"
#include "win32_hid_bus.h"
#include "win32_services.h"

namespace tolvane::platform {

HidBus& DefaultHidBus() {
    static Win32HidBus bus;
    return bus;
}

Win32Services& DefaultWin32Services() {
    static Win32Services services;
    return services;
}

SystemServices& DefaultServices() {
    return DefaultWin32Services();
}

// Placeholder texts until the platform supplies its own.
std::string SystemErrorText(SysError error) {
    return "system error " + std::to_string(error);
}

std::string LastNativeErrorDetail() {
    return {};
}

}  // namespace tolvane::platform
