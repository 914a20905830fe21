#include "tool/slot_commands.h"

#include "line/slot_teacher.h"
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "sys_error.h"

#include <fstream>

namespace tolvane::cli {

std::optional<int> LoadSlots(Options& options, ToolReport& tool) {
    if (options.slotsPath.empty()) return std::nullopt;
    tool.report().extra["slots"] = options.slotsPath;
    SlotsRead read = ReadSlotsFile(options.slotsPath);
    if (!read.names) return tool.usageError("--slots " + Printable(read.error));
    options.slots = std::move(*read.names);
    // --port takes a slot's name as well as a port.
    if (options.port && !options.slots.byPort.contains(*options.port)) {
        if (auto port = options.slots.portNamed(*options.port)) options.port = port;
    }
    return std::nullopt;
}

int TeachSlotsCommand(HidBus& bus, SystemServices& services, const Options& options,
                      InterruptGuard& guard, ToolReport& tool) {
    tool.say("Plug one device into each slot, one after another (" +
             std::to_string(*options.count) + " in all)...");
    const TaughtSlots taught =
        TeachSlots(bus, services, static_cast<std::uint16_t>(options.vid.value_or(0)),
                   static_cast<std::uint16_t>(options.pid.value_or(0)), *options.count, guard,
                   [&tool](const std::string& port, std::size_t number) {
                       tool.say("slot-" + std::to_string(number) + "  port " + port);
                       tool.human().flush();
                   });
    RunReport& report = tool.report();
    Json ports = Json::array();
    for (const std::string& port : taught.ports) ports.push_back(port);
    report.extra["ports"] = std::move(ports);
    if (taught.error != 0) {
        return tool.refuse(kExitSystemError, ResultName(taught.error), taught.error,
                           "cannot listen for devices (" + tool.detail(taught.error) + ")");
    }
    if (taught.presentAtStart > 0) {
        tool.say(std::to_string(taught.presentAtStart) +
                 " device(s) plugged in before the start were not named.");
    }
    if (taught.interrupted) {
        report.result = "INTERRUPTED";
        report.code = kErrorOperationAborted;
        report.message = "interrupted: " + Printable(options.slotsOut) + " was not written";
        tool.err() << "tolvane: " << report.message << '\n';
        return tool.finish(kExitInterrupted);
    }
    std::ofstream out(options.slotsOut, std::ios::binary | std::ios::trunc);
    out << TaughtSlotsText(taught.ports);
    out.close();
    if (!out) {
        return tool.refuse(kExitOutputFailed, "OUTPUT_FAILED", kErrorWriteFault,
                           Printable(options.slotsOut) + ": the slots could not be written");
    }
    report.result = ResultName(DFU_SUCCESS);
    report.message = std::to_string(taught.ports.size()) + " slot(s) written to " +
                     Printable(options.slotsOut) + ".";
    tool.say(report.message);
    return tool.finish(kExitSuccess);
}

}  // namespace tolvane::cli
