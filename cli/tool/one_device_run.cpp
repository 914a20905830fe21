#include "tool/one_device_run.h"

#include "output/exit_codes.h"
#include "output/text_format.h"
#include "text.h"
#include "update/access_hint.h"
#include "update/package_outcome.h"
#include "update/report_length_hint.h"
#include "update/update_verdict.h"

namespace tolvane::cli {

OneDeviceRun::OneDeviceRun(const Options& options, const RunImage& image, ToolReport& tool,
                           RunInterrupts& interrupts, const ToolPlatform& platform,
                           RecordingRun& recording, const Simulation* simulation)
    : options_(options),
      image_(image),
      tool_(tool),
      interrupts_(interrupts),
      platform_(platform),
      recording_(recording),
      simulation_(simulation) {}

int OneDeviceRun::run(const RunDevices& devices) {
    ProgressDisplay display(tool_.human(), tool_.humanIsTerminal(), !options_.quiet);
    const CommandContext context =
        EngineContext(devices, display, interrupts_, platform_, EngineShare::Alone);
    const CommandOutcome outcome =
        RunEngineCommand(options_.command, options_, image_.job(), context);
    if (outcome.interrupted) return kExitInterrupted;
    const int exitCode = VerdictExitCode(outcome, options_);
    const std::vector<std::string> hints = exitCode == kExitSuccess
                                               ? std::vector<std::string>{}
                                               : failureHints(outcome, devices.tracked);
    // The hints ask the bus too: a replay is judged once they have.
    if (auto refused = recording_.refuseMismatch()) return *refused;
    if (devices.locks && !devices.locks->busyPaths().empty()) {
        return tool_.refuse(kExitDeviceBusy, kDeviceBusyResult, kErrorBusy,
                            "the device " + Printable(ToUtf8(devices.locks->busyPaths().front())) +
                                " is being updated by another tolvane process: nothing was sent "
                                "to it; try again when that update has ended");
    }
    tellOutcome(outcome, exitCode, hints);
    tellSimulatedMemory();
    return tool_.finish(exitCode);
}

void OneDeviceRun::tellOutcome(const CommandOutcome& outcome, int exitCode,
                               const std::vector<std::string>& hints) {
    RunReport& report = tool_.report();
    report.code = outcome.code;
    report.result = VerdictResult(outcome, options_);
    report.bytesSent = outcome.bytesSent;
    report.seconds = outcome.seconds;
    report.message = VerdictMessage(options_.command, outcome, options_, image_.job());
    if (options_.command == Command::Update) AddVersionsAndPhases(report.extra, outcome);
    recording_.tellReplayed();
    AddPackageOutcome(report, outcome, options_, tool_.err());
    if (exitCode == kExitSuccess) {
        tool_.say(report.message);
    } else {
        tool_.err() << report.message << '\n';
        if (outcome.code != 0)
            tool_.err() << "tolvane: " << tool_.detail(outcome.code, outcome.nativeDetail) << '\n';
        for (const std::string& line : hints) tool_.err() << "tolvane: " << line << '\n';
    }
    report.reportedChecksum = outcome.reportedChecksum;
}

void OneDeviceRun::tellSimulatedMemory() {
    const FirmwareImage* image = image_.image();
    if (!simulation_ || !image) return;
    const MemoryCheck check = simulation_->check(image->bytes, image_.job().address, options_.port);
    RunReport& report = tool_.report();
    report.memoryMatches = check.written && check.equal;
    if (check.written) report.deviceChecksum = check.checksum;
    tool_.say(!check.written ? "Virtual device: received no image."
              : check.equal  ? "Virtual device: its memory equals the image."
                             : "Virtual device: its memory differs from the image.");
}

std::vector<std::string> OneDeviceRun::failureHints(const CommandOutcome& outcome,
                                                    TrackingHidBus& tracked) const {
    // The report length is asked of the bus: a replay holds this question too.
    std::vector<std::string> hints =
        AccessHint(outcome.code, tracked.openFailures(), platform_.errorText);
    if (auto hint =
            ReportLengthHint(tracked, static_cast<std::uint16_t>(options_.vid.value_or(0)),
                             static_cast<std::uint16_t>(options_.pid.value_or(0)), options_.port)) {
        hints.push_back(*hint);
    } else if (outcome.code == DFU_ERR_NOT_FOUND && options_.port) {
        hints.push_back("nothing matching at port " + Printable(*options_.port) +
                        " (`tolvane list` shows the ports)");
    }
    return hints;
}

}  // namespace tolvane::cli
