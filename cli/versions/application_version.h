// The release number of a device's application, read from its HID attributes: before an update,
// and from the application that comes back after it.
#pragma once

#include "hid_bus.h"
#include "system_services.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

namespace tolvane::cli {

// The release number of the first interface with the identifiers `vid`:`pid` (at `port` when
// one is given); none when no such interface is present. Opens without access rights only.
std::optional<std::uint16_t> ApplicationVersionAt(HidBus& bus, std::uint16_t vid, std::uint16_t pid,
                                                  const std::optional<std::string>& port);

// Looks every kApplicationLookMs until the application is present, for at most `timeoutMs` on
// `services`' clock, or until `stop` answers true.
inline constexpr std::uint32_t kApplicationLookMs = 100;
std::optional<std::uint16_t> AwaitApplication(HidBus& bus, SystemServices& services,
                                              std::uint16_t vid, std::uint16_t pid,
                                              const std::optional<std::string>& port,
                                              std::uint32_t timeoutMs,
                                              const std::function<bool()>& stop);

}  // namespace tolvane::cli
