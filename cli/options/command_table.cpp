#include "options/command_table.h"

namespace tolvane::cli {
namespace {

using enum CommandDevices;

constexpr CommandTraits kCommands[] = {
    // command, name, needs an image, finds the application, devices, boot loader only, steps
    {Command::Update, "update", true, true, OneOrAll, false, kWholeUpdate},
    {Command::ResetToIsp, "reset-to-isp", false, true, One, false, {.enterBootLoader = true}},
    {Command::Download, "download", true, false, One, true, {.download = true}},
    {Command::ResetToAp, "reset-to-ap", false, false, One, true, {.resetToApplication = true}},
    {Command::List, "list", false, false, Many, false, {}},
    {Command::InstallUdevRules, "install-udev-rules", false, false, None, false, {}},
    {Command::Station, "station", true, true, Many, false, kWholeUpdate},
    {Command::Report, "report", false, false, None, false, {}},
    {Command::SlotsTeach, "slots teach", false, true, Many, false, {}},
};

}  // namespace

std::span<const CommandTraits> CommandTable() noexcept {
    return kCommands;
}

const CommandTraits& TraitsOf(Command command) noexcept {
    for (const CommandTraits& traits : kCommands) {
        if (traits.command == command) return traits;
    }
    return kCommands[0];  // every Command has its row; the table test holds them to it
}

const char* CommandName(Command command) noexcept {
    return TraitsOf(command).name;
}

bool WorksOnOneDevice(const Options& options) noexcept {
    const CommandDevices devices = TraitsOf(options.command).devices;
    return devices == One || (devices == OneOrAll && !options.all);
}

}  // namespace tolvane::cli
