#include "usb_phys.h"

#include <algorithm>

namespace tolvane::hidraw {

namespace {

// One or more decimal numbers separated by dots: "1", "1.4", "2.1.3".
bool IsPortChain(std::string_view chain) {
    if (chain.empty() || chain.front() == '.' || chain.back() == '.') return false;
    bool lastDot = false;
    for (const char c : chain) {
        const bool dot = c == '.';
        if (!dot && (c < '0' || c > '9')) return false;
        if (dot && lastDot) return false;
        lastDot = dot;
    }
    return true;
}

}  // namespace

std::optional<UsbPhys> ParseUsbPhys(std::string_view phys) {
    constexpr std::string_view kPrefix = "usb-";
    if (!phys.starts_with(kPrefix)) return std::nullopt;
    phys.remove_prefix(kPrefix.size());
    const std::string_view place = phys.substr(0, phys.find('/'));
    // The controller's name may hold dashes itself ("xhci-hcd.0.auto"): the chain follows the last.
    const std::size_t dash = place.rfind('-');
    if (dash == std::string_view::npos || dash == 0) return std::nullopt;
    const std::string_view chain = place.substr(dash + 1);
    if (!IsPortChain(chain)) return std::nullopt;
    return UsbPhys{std::string(place.substr(0, dash)), std::string(chain)};
}

std::string UsbPortName(unsigned busNumber, const UsbPhys& phys) {
    return std::to_string(busNumber) + "-" + phys.portChain;
}

}  // namespace tolvane::hidraw
