#include "tool/several_devices_run.h"

#include "errno_errors.h"
#include "line/all_devices_run.h"
#include "line/station_run.h"
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "result_message.h"
#include "update/json_fields.h"
#include "update/update_verdict.h"

#include <algorithm>

namespace tolvane::cli {

SeveralDevicesRun::SeveralDevicesRun(const Options& options, const RunImage& image,
                                     ToolReport& tool, RunInterrupts& interrupts,
                                     const ToolPlatform& platform)
    : options_(options),
      job_(image.job()),
      tool_(tool),
      interrupts_(interrupts),
      platform_(platform) {}

int SeveralDevicesRun::updateAll(const RunDevices& devices) {
    const AllDevicesResult all = UpdateAllDevices(
        options_, job_, tool_.human(), tool_.humanIsTerminal(), !options_.quiet,
        [&](ProgressDisplay& display) {
            return EngineContext(devices, display, interrupts_, platform_, EngineShare::WithOthers);
        },
        devices.bus);
    if (std::ranges::any_of(all.devices,
                            [](const DeviceResult& d) { return d.outcome.interrupted; })) {
        return kExitInterrupted;
    }
    const int exitCode = AllDevicesExitCode(all);
    RunReport& report = tool_.report();
    if (all.listError != 0) {
        report.code = all.listError;
        report.result = ResultName(all.listError);
        report.message = "The system gives no list of HID interfaces.";
    } else if (all.devices.empty()) {
        report.code = DFU_ERR_NOT_FOUND;
        report.result = ResultName(DFU_ERR_NOT_FOUND);
        report.message = MessageFor(Command::Update, DFU_ERR_NOT_FOUND, options_, job_);
    } else {
        report.result = ResultName(DFU_SUCCESS);
        for (const DeviceResult& device : all.devices) {
            report.bytesSent += device.outcome.bytesSent;
            report.seconds = std::max(report.seconds, device.outcome.seconds);
            if (exitCode != kExitSuccess && device.exitCode == exitCode && report.code == 0) {
                report.code = device.outcome.code;
                report.result = device.result;
            }
        }
        const auto updated = std::ranges::count_if(
            all.devices, [](const DeviceResult& d) { return d.exitCode == kExitSuccess; });
        report.message = std::to_string(all.devices.size()) + " device(s), " +
                         std::to_string(updated) + " updated.";
        if (!options_.quiet) tool_.human() << FormatResultTable(all.devices);
    }
    if (exitCode == kExitSuccess) {
        tool_.say(report.message);
    } else {
        tool_.err() << "tolvane: " << report.message << '\n';
    }
    report.extra["devices"] = DevicesJson(all.devices, job_);
    AddDeviceTotals(report.extra, all.devices, job_);
    return tool_.finish(exitCode);
}

int SeveralDevicesRun::station(const RunDevices& devices) {
    std::unique_ptr<StationLogFile> logFile;
    if (!options_.logPath.empty()) {
        int error = 0;
        std::string reason;
        logFile = StationLogFile::open(options_.logPath, error, reason);
        if (!logFile) {
            return tool_.refuse(
                kExitSystemError, "SYSTEM_ERROR", FileErrorFromErrno(error),
                Printable(options_.logPath) + ": cannot open the log for appending: " + reason);
        }
    }
    StationOutput output;
    if (!options_.quiet) output.lines = &tool_.human();
    if (options_.json) output.jsonLines = &tool_.out();
    output.log = logFile.get();
    output.errors = &tool_.err();
    tool_.say("Waiting for devices " + Hex(options_.vid.value_or(0), 4) + ":" +
              Hex(options_.pid.value_or(0), 4) + " (and boot loaders)...");
    Station station(options_, job_, devices.bus, devices.services, interrupts_.guard(),
                    [&](ProgressDisplay& display) {
                        return EngineContext(devices, display, interrupts_, platform_,
                                             EngineShare::WithOthers);
                    });
    const StationSummary summary = station.run(output);
    RunReport& report = tool_.report();
    if (summary.error != 0) {
        report.code = summary.error;
        report.result = ResultName(summary.error);
        report.message = "The station cannot listen for devices.";
        tool_.err() << "tolvane: " << report.message << " (" << tool_.detail(summary.error)
                    << ")\n";
        return tool_.finish(kExitSystemError);
    }
    int exitCode = kExitSuccess;
    report.result = ResultName(DFU_SUCCESS);
    AddDeviceTotals(report.extra, summary.finished, job_);
    for (const DeviceResult& device : summary.finished) {
        report.bytesSent += device.outcome.bytesSent;
        if (exitCode == kExitSuccess && device.exitCode != kExitSuccess) {
            exitCode = device.exitCode;
            report.code = device.outcome.code;
            report.result = device.result;
        }
    }
    report.message = std::to_string(summary.finished.size()) + " device(s) done.";
    if (summary.interrupted) {
        exitCode = kExitInterrupted;
        report.result = "INTERRUPTED";
        report.code = kErrorOperationAborted;
        report.message += " Interrupted: no further device was started.";
    }
    // A finished device that the log does not hold is an outcome lost.
    if (!summary.logError.empty()) {
        exitCode = kExitOutputFailed;
        report.result = "LOG_FAILED";
        report.code = kErrorWriteFault;
        report.message += " " + summary.logError + "; no further device was started.";
        tool_.err() << "tolvane: " << report.message << '\n';
        return tool_.finish(exitCode);
    }
    tool_.say(report.message);
    return tool_.finish(exitCode);
}

}  // namespace tolvane::cli
