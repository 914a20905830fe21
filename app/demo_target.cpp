#include "demo_target.h"

#include "virtual_target.h"

#include <algorithm>

namespace vandrel {
namespace {

// Longer than the engine's 30-second wait for the boot loader to leave.
constexpr std::uint32_t kStaysLongerThanTheWaitMs = 120000;
constexpr std::uint32_t kMaxTimeScale = 1000;

std::string Narrow(const std::u16string& text) {
    std::string out;
    for (char16_t c : text) out.push_back(c < 128 ? static_cast<char>(c) : '?');
    return out;
}

bool KnownShape(const std::string& name) {
    return std::ranges::any_of(kDemoShapes, [&](const DemoShape& s) { return s.name == name; });
}

}  // namespace

DemoOptions ParseDemoOptions(std::span<const std::u16string> arguments) {
    DemoOptions options;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        const std::string option = Narrow(arguments[i]);
        if (i + 1 >= arguments.size() || (option != "--target" && option != "--time-scale")) {
            options.error = "unknown option " + option;
            return options;
        }
        const std::string value = Narrow(arguments[++i]);
        if (option == "--target") {
            if (!KnownShape(value)) {
                options.error = "unknown target " + value;
                return options;
            }
            options.shape = value;
        } else {
            std::uint32_t scale = 0;
            const bool digits =
                !value.empty() && value.size() <= 4 &&
                std::ranges::all_of(value, [](char c) { return c >= '0' && c <= '9'; });
            if (digits) scale = static_cast<std::uint32_t>(std::stoul(value));
            if (scale < 1 || scale > kMaxTimeScale) {
                options.error = "time scale out of range: " + value;
                return options;
            }
            options.timeScale = scale;
        }
    }
    return options;
}

tolvane::sim::DeviceSpec DemoTargetSpec(const std::string& shape, std::uint32_t leaveAfterResetMs) {
    using namespace tolvane::sim;
    VirtualTargetOptions options;
    // A boot loader that stays is one the target is already in: a long stay after the
    // application's reset would keep the boot loader from arriving at all.
    options.startsInBootLoader = shape == "in-boot-loader" || shape == "stays-in-boot-loader";
    options.neverEntersBootLoader = shape == "never-enters";
    options.wrongChecksum = shape == "wrong-checksum";
    DeviceSpec config = VirtualTarget::specFor(options);
    config.leaveAfterResetMs = leaveAfterResetMs;
    if (shape == "boot-loader-unreachable") {
        for (InterfaceSpec& interface : config.bootLoader.interfaces) interface.openFails = true;
    } else if (shape == "refuses-enter") {
        for (InterfaceSpec& interface : config.application.interfaces) interface.acceptedResets = 0;
    } else if (shape == "refuses-return") {
        for (InterfaceSpec& interface : config.bootLoader.interfaces) interface.acceptedResets = 0;
    } else if (shape == "stays-in-boot-loader") {
        config.leaveAfterResetMs = kStaysLongerThanTheWaitMs;
    }
    return config;
}

}  // namespace vandrel
