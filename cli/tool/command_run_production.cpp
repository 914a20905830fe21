// The production line's commands of a run: --slots read, slots teach and report.
#include "tool/command_run.h"

#include "line/slot_teacher.h"
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "report/station_report_command.h"
#include "sys_error.h"

#include <fstream>

namespace tolvane::cli {

std::optional<int> CommandRun::loadSlots() {
    if (options_.slotsPath.empty()) return std::nullopt;
    report_.extra["slots"] = options_.slotsPath;
    SlotsRead read = ReadSlotsFile(options_.slotsPath);
    if (!read.names) return usageError("--slots " + Printable(read.error));
    options_.slots = std::move(*read.names);
    // --port takes a slot's name as well as a port.
    if (options_.port && !options_.slots.byPort.contains(*options_.port)) {
        if (auto port = options_.slots.portNamed(*options_.port)) options_.port = port;
    }
    return std::nullopt;
}

int CommandRun::teachSlots(HidBus& bus, SystemServices& services) {
    say("Plug one device into each slot, one after another (" + std::to_string(*options_.count) +
        " in all)...");
    const TaughtSlots taught =
        TeachSlots(bus, services, static_cast<std::uint16_t>(options_.vid.value_or(0)),
                   static_cast<std::uint16_t>(options_.pid.value_or(0)), *options_.count, guard_,
                   [this](const std::string& port, std::size_t number) {
                       say("slot-" + std::to_string(number) + "  port " + port);
                       human_.flush();
                   });
    Json ports = Json::array();
    for (const std::string& port : taught.ports) ports.push_back(port);
    report_.extra["ports"] = std::move(ports);
    if (taught.error != 0) {
        return refuse(kExitSystemError, ResultName(taught.error), taught.error,
                      "cannot listen for devices (" + detail(taught.error, {}) + ")");
    }
    if (taught.presentAtStart > 0) {
        say(std::to_string(taught.presentAtStart) +
            " device(s) plugged in before the start were not named.");
    }
    if (taught.interrupted) {
        report_.result = "INTERRUPTED";
        report_.code = kErrorOperationAborted;
        report_.message = "interrupted: " + Printable(options_.slotsOut) + " was not written";
        io_.err << "tolvane: " << report_.message << '\n';
        return finish(kExitInterrupted);
    }
    std::ofstream out(options_.slotsOut, std::ios::binary | std::ios::trunc);
    out << TaughtSlotsText(taught.ports);
    out.close();
    if (!out) {
        return refuse(kExitOutputFailed, "OUTPUT_FAILED", kErrorWriteFault,
                      Printable(options_.slotsOut) + ": the slots could not be written");
    }
    report_.result = ResultName(DFU_SUCCESS);
    report_.message = std::to_string(taught.ports.size()) + " slot(s) written to " +
                      Printable(options_.slotsOut) + ".";
    say(report_.message);
    return finish(kExitSuccess);
}

int CommandRun::stationReport() {
    const StationReportOutcome outcome =
        RunStationReport(options_.reportLogs, options_.htmlPath, options_.json);
    report_.result = outcome.exitCode == kExitSuccess ? "REPORT" : outcome.result;
    report_.code = outcome.code;
    report_.message = outcome.message;
    if (outcome.exitCode != kExitSuccess) {
        io_.err << "tolvane: " << outcome.message << '\n';
    } else if (!options_.json) {
        say(outcome.text);
    }
    for (const std::string& warning : outcome.warnings) {
        io_.err << "tolvane: warning: " << warning << '\n';
        report_.warnings.push_back(warning);
    }
    if (!outcome.data.is_null()) report_.extra["report"] = outcome.data;
    return finish(outcome.exitCode);
}

}  // namespace tolvane::cli
