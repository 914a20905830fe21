#include "tool/tool_report.h"

#include "options/command_table.h"
#include "output/exit_codes.h"
#include "output/output_buffer.h"
#include "output/text_format.h"
#include "update/json_fields.h"

#include <cerrno>
#include <cstring>

namespace tolvane::cli {

ToolReport::ToolReport(const Options& options, const ToolIo& io, const ToolPlatform& platform)
    : options_(options),
      io_(io),
      platform_(platform),
      human_(options.json ? io.err : io.out),
      humanIsTerminal_(options.json ? io.errIsTerminal : io.outIsTerminal) {
    report_.command = CommandName(options.command);
    report_.simulated = options.simulation.enabled;
}

void ToolReport::say(const std::string& text) {
    if (!options_.quiet) human_ << text << '\n';
}

std::string ToolReport::detail(ResultCode code, const std::string& nativeDetail) const {
    if (const char* name = ResultCodeName(code)) {
        return std::string(name) + " (" + Hex(code, 8) + ")";
    }
    std::string text = "system error " + std::to_string(code);
    if (platform_.errorText) text += ": " + platform_.errorText(code);
    if (options_.verbose && !nativeDetail.empty()) text += " [" + nativeDetail + "]";
    return text;
}

int ToolReport::refuse(int exitCode, const std::string& result, SysError code,
                       const std::string& message) {
    io_.err << "tolvane: " << message << '\n';
    report_.result = result;
    report_.code = code;
    report_.message = message;
    return finish(exitCode);
}

int ToolReport::usageError(const std::string& message, bool printed) {
    if (!printed) {
        io_.err << "tolvane: " << message << "\nRun with --help for more information.\n";
    }
    report_.result = "USAGE";
    report_.code = kErrorInvalidParameter;
    report_.message = message;
    return finish(kExitUsage);
}

void ToolReport::attachSimulation(const Simulation* simulation,
                                  const std::vector<std::uint8_t>* image, std::uint32_t address) {
    simulation_ = simulation;
    simulatedImage_ = image;
    simulatedAddress_ = address;
}

int ToolReport::recordingWritten(int exitCode) {
    if (!recording_) return exitCode;
    const auto failure = recording_->recordingFailure();
    if (!failure) return exitCode;
    io_.err << "tolvane: warning: " << *failure << '\n';
    report_.extra["recording_failed"] = *failure;
    return exitCode == kExitSuccess ? kExitOutputFailed : exitCode;
}

void ToolReport::addSimulatedDevices() {
    if (simulation_) {
        report_.extra["simulated_devices"] =
            SimulatedDevicesJson(simulation_->checkAll(simulatedImage_, simulatedAddress_));
    } else if (options_.simulation.enabled) {
        // Refused before the devices were made: none of them received anything.
        std::vector<SimulatedDeviceCheck> none;
        for (std::uint32_t k = 1; k <= options_.simulation.devices; ++k) {
            none.push_back({"1-" + std::to_string(k), false});
        }
        report_.extra["simulated_devices"] = SimulatedDevicesJson(none);
    }
}

int ToolReport::finish(int exitCode) {
    exitCode = recordingWritten(exitCode);
    report_.exitCode = exitCode;
    addSimulatedDevices();
    if (options_.json) io_.out << JsonText(ToJson(report_)) << '\n';
    io_.out.flush();
    io_.err.flush();
    // A reader that went away (a closed pipe) ended its interest; any other failure lost
    // the outcome, which a script must learn.
    const int error = WriteErrorOf(io_.out);
    if (error != 0 && error != EPIPE) {
        io_.err << "tolvane: the outcome could not be written to standard output: "
                << std::strerror(error) << '\n';
        io_.err.flush();
        if (exitCode == kExitSuccess) return kExitOutputFailed;
    }
    return exitCode;
}

}  // namespace tolvane::cli
