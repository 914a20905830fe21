// What each command of the tool is, in one table: its name, whether it reads an image, whether it
// finds the application by --vid and --pid, how many devices it works on, whether it looks for the
// boot loader only, which steps of the update it takes, and its line in --help. The parser, the
// help text, the device choice and the runs all read it.
#pragma once

#include "options/options.h"
#include "update_sequence.h"

#include <span>

namespace tolvane::cli {

// How many devices a command works on.
enum class CommandDevices {
    None,      // no device at all
    One,       // one device, found by its own search
    OneOrAll,  // one device, or every matching one with --all
    Many,      // every device it sees (listing, a station, teaching slots)
};

struct CommandTraits {
    Command command;
    const char* name;       // on the command line and in the JSON object
    bool needsImage;        // reads an image (or a package) before any device is touched
    bool findsApplication;  // searches for the application by --vid and --pid
    CommandDevices devices;
    bool bootLoaderOnly;  // looks for the boot loader only, never for the application
    UpdateSteps steps;    // what it does to each device it updates
    const char* summary;  // its line in --help
};

// Every command, in the order --help lists them.
std::span<const CommandTraits> CommandTable() noexcept;
const CommandTraits& TraitsOf(Command command) noexcept;

}  // namespace tolvane::cli
