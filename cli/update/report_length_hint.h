// Why a device whose feature reports are 256 bytes or longer fails: the engine describes a report
// length in one byte, so such a device gets reports of the wrong length and refuses them. And why
// a boot loader that `list` shows is "not found": its feature reports are too short for the
// download (8 bytes or fewer), so the search passes over it. The tool says so after the failure
// instead of leaving a bare "command fail" or "not found".
#pragma once

#include "hid_bus.h"

#include <cstdint>
#include <optional>
#include <string>

namespace tolvane::cli {

// The hint for a failed command whose device (the application `vid`:`pid` or a boot loader, at
// `port` when one is given) has feature reports longer than 255 bytes, or whose boot loader's are
// too short for a download; none otherwise.
std::optional<std::string> ReportLengthHint(HidBus& bus, std::uint16_t vid, std::uint16_t pid,
                                            const std::optional<std::string>& port);

}  // namespace tolvane::cli
