#include "tool/command_run.h"

#include "buses/locking_hid_bus.h"
#include "errno_errors.h"
#include "line/all_devices_run.h"
#include "line/station_run.h"
#include "output/exit_codes.h"
#include "output/text_format.h"
#include "result_message.h"
#include "text.h"
#include "update/device_list.h"
#include "update/json_fields.h"
#include "update/update_verdict.h"

#include <algorithm>

namespace tolvane::cli {

int CommandRun::list(HidBus& bus) {
    guard_.enterStep(RunStep::Listing);
    const InterfaceListing listing = ListInterfaces(bus);
    guard_.enterStep(RunStep::Finishing);
    if (guard_.abortRequested()) return abandonBeforeStart();
    if (listing.error != 0) {
        report_.code = listing.error;
        report_.result = ResultName(listing.error);
        report_.message = "The system gives no list of HID interfaces.";
        io_.err << "tolvane: " << report_.message << " (" << detail(listing.error, {}) << ")\n";
        return finish(kExitSystemError);
    }
    report_.result = ResultName(DFU_SUCCESS);
    report_.message = std::to_string(listing.interfaces.size()) + " HID interface(s)";
    Json interfaces = Json::array();
    for (ListedInterface entry : listing.interfaces) {
        entry.slot = options_.slots.nameOf(entry.port);
        interfaces.push_back(InterfaceToJson(entry));
        say(FormatInterface(entry));
    }
    report_.extra["interfaces"] = std::move(interfaces);
    say(report_.message);
    return finish(kExitSuccess);
}

int CommandRun::installUdevRules() {
#ifdef _WIN32
    return usageError(
        "install-udev-rules is for Linux: Windows needs no rules to open HID "
        "devices");
#endif
    const UdevRulesRequest request{
        options_.rulesDir,
        options_.vid ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*options_.vid))
                     : std::nullopt,
        options_.pid ? std::optional<std::uint16_t>(static_cast<std::uint16_t>(*options_.pid))
                     : std::nullopt};
    const UdevRulesOutcome outcome = InstallUdevRules(platform_.udev, request);
    report_.message = outcome.message;
    report_.extra["installed"] = outcome.installed;
    if (outcome.exitCode == kExitSuccess) {
        report_.result = ResultName(DFU_SUCCESS);
        say(outcome.message);
    } else {
        report_.result = outcome.exitCode == kExitNeedsRoot ? "NEEDS_ROOT" : "INSTALL_FAILED";
        report_.code = outcome.exitCode == kExitNeedsRoot ? kErrorAccessDenied : kErrorGenFailure;
        io_.err << "tolvane: " << outcome.message << '\n';
    }
    return finish(outcome.exitCode);
}

CommandContext CommandRun::deviceContext(HidBus& bus, SystemServices& services,
                                         ProgressDisplay& display) {
    return CommandContext{
        bus,
        services,
        display,
        guard_,
        platform_.nativeErrorDetail,
        [this] { tellInterruptPutOff(); },
        [this](const CommandOutcome& sofar) {
            // Several devices may be abandoned at once: one report.
            std::call_once(abandoned_, [&] { abandon(sofar); });
        },
        &deviceSteps_,
        [this](const std::string& port) { return locks_ != nullptr && locks_->busyAt(port); },
        tracked_};
}

int CommandRun::updateAll(HidBus& bus, SystemServices& services) {
    const AllDevicesResult all = UpdateAllDevices(
        options_, job_, human_, humanIsTerminal_, !options_.quiet,
        [&](ProgressDisplay& display) { return deviceContext(bus, services, display); }, bus);
    if (std::ranges::any_of(all.devices,
                            [](const DeviceResult& d) { return d.outcome.interrupted; })) {
        return kExitInterrupted;
    }
    const int exitCode = AllDevicesExitCode(all);
    if (all.listError != 0) {
        report_.code = all.listError;
        report_.result = ResultName(all.listError);
        report_.message = "The system gives no list of HID interfaces.";
    } else if (all.devices.empty()) {
        report_.code = DFU_ERR_NOT_FOUND;
        report_.result = ResultName(DFU_ERR_NOT_FOUND);
        report_.message = MessageFor(Command::Update, DFU_ERR_NOT_FOUND, options_, job_);
    } else {
        report_.result = ResultName(DFU_SUCCESS);
        for (const DeviceResult& device : all.devices) {
            report_.bytesSent += device.outcome.bytesSent;
            report_.seconds = std::max(report_.seconds, device.outcome.seconds);
            if (exitCode != kExitSuccess && device.exitCode == exitCode && report_.code == 0) {
                report_.code = device.outcome.code;
                report_.result = device.result;
            }
        }
        const auto updated = std::ranges::count_if(
            all.devices, [](const DeviceResult& d) { return d.exitCode == kExitSuccess; });
        report_.message = std::to_string(all.devices.size()) + " device(s), " +
                          std::to_string(updated) + " updated.";
        if (!options_.quiet) human_ << FormatResultTable(all.devices);
    }
    if (exitCode == kExitSuccess) {
        say(report_.message);
    } else {
        io_.err << "tolvane: " << report_.message << '\n';
    }
    report_.extra["devices"] = DevicesJson(all.devices, job_);
    AddDeviceTotals(report_.extra, all.devices, job_);
    return finish(exitCode);
}

int CommandRun::station(HidBus& bus, SystemServices& services) {
    std::unique_ptr<StationLogFile> logFile;
    if (!options_.logPath.empty()) {
        int error = 0;
        std::string reason;
        logFile = StationLogFile::open(options_.logPath, error, reason);
        if (!logFile) {
            return refuse(
                kExitSystemError, "SYSTEM_ERROR", FileErrorFromErrno(error),
                Printable(options_.logPath) + ": cannot open the log for appending: " + reason);
        }
    }
    StationOutput output;
    if (!options_.quiet) output.lines = &human_;
    if (options_.json) output.jsonLines = &io_.out;
    output.log = logFile.get();
    output.errors = &io_.err;
    say("Waiting for devices " + Hex(options_.vid.value_or(0), 4) + ":" +
        Hex(options_.pid.value_or(0), 4) + " (and boot loaders)...");
    Station station(options_, job_, bus, services, guard_, [&](ProgressDisplay& display) {
        return deviceContext(bus, services, display);
    });
    const StationSummary summary = station.run(output);
    if (summary.error != 0) {
        report_.code = summary.error;
        report_.result = ResultName(summary.error);
        report_.message = "The station cannot listen for devices.";
        io_.err << "tolvane: " << report_.message << " (" << detail(summary.error, {}) << ")\n";
        return finish(kExitSystemError);
    }
    int exitCode = kExitSuccess;
    report_.result = ResultName(DFU_SUCCESS);
    AddDeviceTotals(report_.extra, summary.finished, job_);
    for (const DeviceResult& device : summary.finished) {
        report_.bytesSent += device.outcome.bytesSent;
        if (exitCode == kExitSuccess && device.exitCode != kExitSuccess) {
            exitCode = device.exitCode;
            report_.code = device.outcome.code;
            report_.result = device.result;
        }
    }
    report_.message = std::to_string(summary.finished.size()) + " device(s) done.";
    if (summary.interrupted) {
        exitCode = kExitInterrupted;
        report_.result = "INTERRUPTED";
        report_.code = kErrorOperationAborted;
        report_.message += " Interrupted: no further device was started.";
    }
    // A finished device that the log does not hold is an outcome lost.
    if (!summary.logError.empty()) {
        exitCode = kExitOutputFailed;
        report_.result = "LOG_FAILED";
        report_.code = kErrorWriteFault;
        report_.message += " " + summary.logError + "; no further device was started.";
        io_.err << "tolvane: " << report_.message << '\n';
        return finish(exitCode);
    }
    say(report_.message);
    return finish(exitCode);
}

}  // namespace tolvane::cli
