#include "options/command_table.h"

namespace tolvane::cli {
namespace {

using enum CommandDevices;

constexpr CommandTraits kCommands[] = {
    // command, name, needs an image, finds the application, devices, boot loader only, steps,
    // summary
    {Command::Update, "update", true, true, OneOrAll, false, kWholeUpdate,
     "reset to the boot loader, download the image, reset to the application"},
    {Command::ResetToIsp,
     "reset-to-isp",
     false,
     true,
     One,
     false,
     {.enterBootLoader = true},
     "reset the device to its boot loader"},
    {Command::Download,
     "download",
     true,
     false,
     One,
     true,
     {.download = true},
     "download an image into the boot loader"},
    {Command::ResetToAp,
     "reset-to-ap",
     false,
     false,
     One,
     true,
     {.resetToApplication = true},
     "reset the boot loader to the application"},
    {Command::List, "list", false, false, Many, false, {}, "list every HID interface present"},
    {Command::InstallUdevRules,
     "install-udev-rules",
     false,
     false,
     None,
     false,
     {},
     "Linux: install udev rules that let users open the devices, and reload udev (as root)"},
    {Command::Station, "station", true, true, Many, false, kWholeUpdate,
     "update each matching device once as it is plugged in, several at a time"},
    {Command::Report,
     "report",
     false,
     false,
     None,
     false,
     {},
     "sum up station logs: yield, units per hour, phase times, failures by slot"},
    {Command::SlotsTeach,
     "slots teach",
     false,
     true,
     Many,
     false,
     {},
     "wait for N devices plugged in one after another and name their ports in order"},
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
