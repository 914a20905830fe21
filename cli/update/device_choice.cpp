#include "update/device_choice.h"

#include "options/command_table.h"
#include "output/text_format.h"
#include "text.h"

#include <algorithm>
#include <cstdio>

namespace tolvane::cli {

namespace {

bool SearchesForADevice(Command command) {
    const CommandDevices devices = TraitsOf(command).devices;
    return devices == CommandDevices::One || devices == CommandDevices::OneOrAll;
}

bool BootLoaderOnly(Command command) {
    return TraitsOf(command).bootLoaderOnly;
}

}  // namespace

DeviceChoice ChooseDevice(const Options& options, HidBus& bus) {
    DeviceChoice choice;
    if (!SearchesForADevice(options.command) || options.port || options.all) return choice;
    // Download and reset-to-ap never look at the application's identifiers.
    const auto vid = static_cast<std::uint16_t>(options.vid.value_or(0));
    const auto pid = static_cast<std::uint16_t>(options.pid.value_or(0));
    CandidateSearch search = FindCandidates(bus, vid, pid);
    if (search.error != 0) return choice;
    if (BootLoaderOnly(options.command)) {
        std::erase_if(search.candidates, [](const auto& c) { return !c.bootLoader; });
    }
    choice.candidates = std::move(search.candidates);
    const std::size_t devices = CountDevices(choice.candidates);
    choice.several = devices > 1;
    if (devices == 1 && !choice.candidates.front().port.empty()) {
        choice.onlyPort = choice.candidates.front().port;
    }
    return choice;
}

std::string FormatCandidate(const DeviceCandidate& candidate) {
    char ids[16];
    std::snprintf(ids, sizeof ids, "%04x:%04x", candidate.vendorId, candidate.productId);
    return "  " + (candidate.port.empty() ? std::string("-") : Printable(candidate.port)) + "  " +
           ids + "  serial " +
           (candidate.serial.empty() ? std::string("-") : Printable(ToUtf8(candidate.serial))) +
           "  " + (candidate.bootLoader ? "boot loader" : "application");
}

}  // namespace tolvane::cli
