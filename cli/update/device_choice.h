// "Never guess": before a single-device command sends anything, the devices it could pick are
// counted; with several of them the command is refused and the candidates are named, so that an
// update never resets one unit and writes into another.
#pragma once

#include "device_candidates.h"
#include "options/options.h"

#include <optional>
#include <string>
#include <vector>

namespace tolvane::cli {

inline constexpr const char* kSeveralDevicesText =
    "several devices match: choose one with --port, or use --all";

struct DeviceChoice {
    bool several = false;                     // refuse: more than one device could be picked
    std::vector<DeviceCandidate> candidates;  // those that count for the command, in port order
    // Exactly one device counted, at a known port: the command keeps every step there.
    std::optional<std::string> onlyPort;
};

// Whether the command may pick a device by itself. Only the commands that search for a device and
// were given neither --port nor --all are checked; update and reset-to-isp count the application
// devices with the given identifiers and the boot loaders, download and reset-to-ap the boot
// loaders only. A bus that gives no list is left for the command to report.
DeviceChoice ChooseDevice(const Options& options, HidBus& bus);

// "  1-2  5c3b:0326  serial SIM000002  application"
std::string FormatCandidate(const DeviceCandidate& candidate);

}  // namespace tolvane::cli
