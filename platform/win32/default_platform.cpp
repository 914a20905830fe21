// The Windows platform of this build: the process-wide HID bus and system services.
#include "platform.h"
#include "transfer_watchdog.h"
#include "wide_text.h"
#include "win32_api.h"
#include "win32_hid_bus.h"
#include "win32_services.h"

#include <cwctype>

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

// The system's own message for the number, in the user's language, without the line break and
// full stop it ends with.
std::string SystemErrorText(SysError error) {
    wchar_t text[512] = {};
    DWORD length =
        FormatMessageW(FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS, nullptr, error,
                       0, text, static_cast<DWORD>(std::size(text)), nullptr);
    while (length > 0 && (std::iswspace(static_cast<wint_t>(text[length - 1])) != 0 ||
                          text[length - 1] == L'.')) {
        --length;
    }
    std::string result = win32::ToUtf8({text, length});
    if (result.empty()) {
        result = "system error " + std::to_string(error);
    }
    return result;
}

// The number a Windows call reports is the system's own; the one thing behind it worth telling is
// a transfer that ran into its time limit: which call, and how its cancellation went.
std::string LastNativeErrorDetail() {
    return win32::LastTransferLimitDetail();
}

}  // namespace tolvane::platform
