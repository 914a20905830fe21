// The demonstration program's simulated target, shaped by its command line so that every outcome
// of an update can be shown without hardware. Only the demonstration build reads a command line;
// the shipped program takes no options.
//
//   VandrelDemo.exe [--target SHAPE] [--time-scale N]
//
// SHAPE is one of the names of kDemoShapes; --time-scale divides every sleep and time-out of the
// engine by N (1 to 1000), so that a 30-second time-out shows in a few seconds.
#pragma once

#include "device_spec.h"

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

namespace vandrel {

struct DemoShape {
    std::string_view name;
    std::string_view outcome;  // what an update against it ends with
};

inline constexpr DemoShape kDemoShapes[] = {
    {"normal", "success"},
    {"in-boot-loader", "already in its boot loader; success"},
    {"boot-loader-unreachable", "the boot loader arrives but cannot be opened: not found"},
    {"never-enters", "the boot loader never arrives: DFU time-out"},
    {"wrong-checksum", "the boot loader reports another checksum"},
    {"refuses-enter", "the application refuses every reset form"},
    {"refuses-return", "the boot loader refuses every reset form"},
    {"stays-in-boot-loader",
     "already in its boot loader, which does not leave: time-out of the switch back"},
};

struct DemoOptions {
    std::string shape = "normal";
    std::uint32_t timeScale = 1;
    std::string error;  // not empty: the command line was not understood
};

DemoOptions ParseDemoOptions(std::span<const std::u16string> arguments);

// The device of a shape (a known one: ParseDemoOptions refuses the others). `leaveAfterResetMs`
// is how long the boot loader stays on the bus after its reset.
tolvane::sim::DeviceSpec DemoTargetSpec(const std::string& shape, std::uint32_t leaveAfterResetMs);

}  // namespace vandrel
