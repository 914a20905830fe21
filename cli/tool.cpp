#include "tool.h"

#include "access_hint.h"
#include "all_devices_run.h"
#include "command_line.h"
#include "device_choice.h"
#include "device_list.h"
#include "dfu_engine.h"
#include "engine_command.h"
#include "exit_codes.h"
#include "image_limits.h"
#include "interrupt_guard.h"
#include "json_fields.h"
#include "logging_hid_bus.h"
#include "output_buffer.h"
#include "progress_display.h"
#include "result_message.h"
#include "run_report.h"
#include "simulation.h"
#include "station_run.h"
#include "text_format.h"
#include "tracking_hid_bus.h"

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <optional>

namespace tolvane::cli {
namespace {

// The code of a refused image's content, as the image reader reports it.
constexpr SysError kErrorInvalidData = 13;
constexpr std::uint64_t kAddressSpaceEnd = std::uint64_t{kMaxLoadAddress} + 1;

bool NeedsImage(Command command) {
    return command == Command::Update || command == Command::Download ||
           command == Command::Station;
}

// The final text for a command's result: the update run's texts, and for the single steps their
// own success texts.
std::string MessageFor(Command command, ResultCode code, const Options& options,
                       const DownloadJob& job) {
    if (code == DFU_SUCCESS || code == DFU_ALREADY_IN_DFU) {
        switch (command) {
            case Command::ResetToIsp:
                return code == DFU_ALREADY_IN_DFU ? "The device is already in its boot loader."
                                                  : "The device is in its boot loader.";
            case Command::Download:
                return "Image downloaded and verified: " + std::to_string(job.image->bytes.size()) +
                       " bytes at " + Hex(job.address, 6) + ", checksum " +
                       Hex(job.checksum & 0xFFFF, 4) + ".";
            case Command::ResetToAp:
                return "The device is back in its application.";
            default:
                break;
        }
    }
    // A step that only ever looks for the boot loader names the boot loader when it is missing.
    const bool bootLoaderOnly = command == Command::Download || command == Command::ResetToAp;
    const std::uint32_t vid = bootLoaderOnly ? DFU_VENDOR_ID : options.vid.value_or(0);
    const std::uint32_t pid = bootLoaderOnly ? DFU_PRODUCT_ID_1 : options.pid.value_or(0);
    return ToUtf8(ResultMessageFor(code, vid, pid).text);
}

const char* StepName(RunStep step) {
    switch (step) {
        case RunStep::Preparing:
            return "preparing";
        case RunStep::EnteringBootLoader:
            return "entering the boot loader";
        case RunStep::Downloading:
            return "writing the firmware";
        case RunStep::ResettingToAp:
            return "restarting the application";
        case RunStep::Listing:
            return "listing the interfaces";
        case RunStep::Finishing:
            return "reporting the outcome";
    }
    return "?";
}

// What the device is most likely doing after the tool stopped during `step`.
std::string LikelyDeviceState(RunStep step, bool written) {
    if (!written) return "nothing was sent to the device; it is as it was.";
    switch (step) {
        case RunStep::EnteringBootLoader:
            return "the device was told to restart into its boot loader and is probably there "
                   "now, its firmware unchanged: run the update again, or reset-to-ap to return "
                   "to the application.";
        case RunStep::Downloading:
            return "the device is in its boot loader with the new firmware only partly written, "
                   "and stays unusable until an update completes: run the update again "
                   "(power-cycle the device first if it does not answer).";
        case RunStep::ResettingToAp:
            return "the new firmware was written and verified; the device is restarting into its "
                   "application (if it stays in its boot loader, run reset-to-ap).";
        default:
            return "the device's part of the run had ended.";
    }
}

class Run {
public:
    Run(const Options& options, const ToolIo& io, const ToolPlatform& platform,
        InterruptGuard& guard)
        : options_(options),
          io_(io),
          platform_(platform),
          guard_(guard),
          human_(options.json ? io.err : io.out),
          humanIsTerminal_(options.json ? io.errIsTerminal : io.outIsTerminal) {
        report_.command = CommandName(options.command);
        report_.simulated = options.simulation.enabled;
    }

    int execute() {
        if (options_.command == Command::InstallUdevRules) return installUdevRules();
        if (NeedsImage(options_.command)) {
            if (auto refused = loadImage()) return *refused;
        }
        if (guard_.abortRequested()) return abandonBeforeStart();

        HidBus* bus = &platform_.bus;
        SystemServices* services = &platform_.services;
        if (options_.simulation.enabled) {
            simulation_.emplace(options_.simulation, platform_.services);
            bus = &simulation_->bus();
            services = &simulation_->services();
        }
        // Before the report log: the search is the tool's own, not the engine's.
        if (auto refused = refuseToGuess(*bus)) return *refused;
        TrackingHidBus tracked(*bus, [this] { guard_.deviceWritten(); });
        bus = &tracked;
        std::optional<ReportLog> log;
        std::optional<LoggingHidBus> logged;
        if (options_.verbose) {
            log.emplace(io_.err, [services] { return services->nowMs(); });
            logged.emplace(*bus, *log, platform_.nativeErrorDetail);
            bus = &*logged;
        }
        if (options_.command == Command::List) return list(*bus);
        if (options_.command == Command::Station) return station(*bus, *services);
        if (options_.command == Command::Update && options_.all) {
            return updateAll(*bus, *services);
        }

        ProgressDisplay display(human_, humanIsTerminal_, !options_.quiet);
        const CommandContext context{*bus,
                                     *services,
                                     display,
                                     guard_,
                                     platform_.nativeErrorDetail,
                                     [this] { tellInterruptPutOff(); },
                                     [this](const CommandOutcome& sofar) { abandon(sofar); }};
        const CommandOutcome outcome = RunEngineCommand(options_.command, options_, job_, context);
        if (outcome.interrupted) return kExitInterrupted;

        report_.code = outcome.code;
        report_.result = ResultName(outcome.code);
        report_.bytesSent = outcome.bytesSent;
        report_.seconds = outcome.seconds;
        report_.message = MessageFor(options_.command, outcome.code, options_, job_);
        const int exitCode = ExitCodeFor(outcome.code);
        if (exitCode == kExitSuccess) {
            say(report_.message);
        } else {
            io_.err << report_.message << '\n'
                    << "tolvane: " << detail(outcome.code, outcome.nativeDetail) << '\n';
            for (const std::string& line :
                 AccessHint(outcome.code, tracked.openFailures(), platform_.errorText)) {
                io_.err << "tolvane: " << line << '\n';
            }
        }
        report_.reportedChecksum = outcome.reportedChecksum;
        if (simulation_ && image_) {
            const MemoryCheck check =
                simulation_->check(image_->bytes, job_.address, options_.port);
            report_.memoryMatches = check.written && check.equal;
            if (check.written) report_.deviceChecksum = check.checksum;
            say(!check.written ? "Virtual device: received no image."
                : check.equal  ? "Virtual device: its memory equals the image."
                               : "Virtual device: its memory differs from the image.");
        }
        return finish(exitCode);
    }

    // Refusals found before anything else happens.
    int refuse(int exitCode, const std::string& result, SysError code, const std::string& message) {
        io_.err << "tolvane: " << message << '\n';
        report_.result = result;
        report_.code = code;
        report_.message = message;
        return finish(exitCode);
    }

    // A refused command line; `printed` when the text is already on standard error.
    int usageError(const std::string& message, bool printed = false) {
        if (!printed) {
            io_.err << "tolvane: " << message << "\nRun with --help for more information.\n";
        }
        report_.result = "USAGE";
        report_.code = kErrorInvalidParameter;
        report_.message = message;
        return finish(kExitUsage);
    }

private:
    std::string detail(ResultCode code, const std::string& nativeDetail) const {
        if (const char* name = ResultCodeName(code)) {
            return std::string(name) + " (" + Hex(code, 8) + ")";
        }
        std::string text = "system error " + std::to_string(code);
        if (platform_.errorText) text += ": " + platform_.errorText(code);
        if (options_.verbose && !nativeDetail.empty()) text += " [" + nativeDetail + "]";
        return text;
    }

    std::optional<int> loadImage() {
        report_.extra["image"] = options_.imagePath;
        auto loaded = LoadImageFile(options_.imagePath, options_.imageFormat);
        if (auto* error = std::get_if<ImageError>(&loaded)) {
            if (error->problem == ImageProblem::Unreadable) {
                return refuse(kExitUnreadable, "IMAGE_UNREADABLE", error->code, error->message);
            }
            return refuse(kExitBadImage, "BAD_IMAGE", error->code, error->message);
        }
        image_ = std::move(std::get<FirmwareImage>(loaded));
        for (const std::string& warning : image_->warnings) {
            io_.err << "tolvane: warning: " << warning << '\n';
            report_.warnings.push_back(warning);
        }
        const std::uint64_t size = image_->bytes.size();
        if (!options_.address && image_->loadAddress && *image_->loadAddress > kMaxLoadAddress) {
            return refuse(kExitBadImage, "BAD_IMAGE", kErrorInvalidData,
                          options_.imagePath + ": the lowest address " +
                              Hex(*image_->loadAddress, 8) +
                              " does not fit in the boot loader's 24 bits; give --address");
        }
        job_.image = &*image_;
        job_.address = options_.address.value_or(image_->loadAddress.value_or(0));
        // The boot loader counts addresses in 24 bits: an image that ends past them would be
        // written over its own start.
        if (job_.address + size > kAddressSpaceEnd) {
            const std::string where = Hex(job_.address, 6) + " to " +
                                      Hex(job_.address + size - 1, 6) +
                                      ", past the boot loader's last address 0xFFFFFF";
            if (options_.address) {
                return usageError("--address " + Hex(job_.address, 6) + ": the image's " +
                                  std::to_string(size) + " bytes would take " + where);
            }
            return refuse(kExitBadImage, "BAD_IMAGE", kErrorInvalidData,
                          options_.imagePath + ": the image takes " + where);
        }
        job_.checksum =
            options_.checksum.value_or(ImageChecksum(image_->bytes.data(), image_->bytes.size()));
        report_.bytesTotal = size;
        report_.expectedChecksum = static_cast<std::uint16_t>(job_.checksum & 0xFFFF);
        return std::nullopt;
    }

    int list(HidBus& bus) {
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
        for (const ListedInterface& entry : listing.interfaces) {
            interfaces.push_back(InterfaceToJson(entry));
            say(FormatInterface(entry));
        }
        report_.extra["interfaces"] = std::move(interfaces);
        say(report_.message);
        return finish(kExitSuccess);
    }

    int installUdevRules() {
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
            report_.code =
                outcome.exitCode == kExitNeedsRoot ? kErrorAccessDenied : kErrorGenFailure;
            io_.err << "tolvane: " << outcome.message << '\n';
        }
        return finish(outcome.exitCode);
    }

    // The first interrupt after the device was written to: the run goes on to its end.
    void tellInterruptPutOff() {
        const bool update =
            options_.command == Command::Update || options_.command == Command::Download;
        io_.err << "tolvane: "
                << (update ? "the update is writing the firmware"
                           : "the device is switching between its firmware and its boot loader")
                << ": stopping now would leave the device unusable until it is power-cycled. "
                   "The tool stops when the "
                << (update ? "update" : "switch") << " ends (interrupt "
                << InterruptGuard::kInterruptsToForce - 1 << " more times to stop at once).\n";
        io_.err.flush();
    }

    int abandonBeforeStart() {
        CommandOutcome none;
        abandon(none);
        return kExitInterrupted;
    }

    // An interrupt ends the run now; the engine may still be at work on another thread.
    void abandon(const CommandOutcome& sofar) {
        const RunStep step = guard_.abortStep();
        const bool written = guard_.abortAfterWrite();
        const std::string state = LikelyDeviceState(step, written);
        const bool atDevice = step == RunStep::EnteringBootLoader || step == RunStep::Downloading ||
                              step == RunStep::ResettingToAp;
        const std::string stepName =
            atDevice && !written ? "looking for the device" : StepName(step);
        report_.result = "INTERRUPTED";
        report_.code = kErrorOperationAborted;
        report_.message = "interrupted while " + stepName + ": " + state;
        report_.bytesSent = sofar.bytesSent;
        report_.seconds = sofar.seconds;
        report_.extra["step"] = stepName;
        report_.extra["device_written"] = written;
        io_.err << "tolvane: " << report_.message << '\n';
        const int exitCode = finish(kExitInterrupted);
        if (platform_.exitNow) platform_.exitNow(exitCode);
    }

    // What each device's engine is given: the run's bus, services and interrupt rules, and a
    // display of its own.
    CommandContext deviceContext(HidBus& bus, SystemServices& services, ProgressDisplay& display) {
        return CommandContext{bus,
                              services,
                              display,
                              guard_,
                              platform_.nativeErrorDetail,
                              [this] { tellInterruptPutOff(); },
                              [this](const CommandOutcome& sofar) {
                                  // Several devices may be abandoned at once: one report.
                                  std::call_once(abandoned_, [&] { abandon(sofar); });
                              }};
    }

    // Several devices match and the command was not told which: nothing is sent.
    std::optional<int> refuseToGuess(HidBus& bus) {
        const DeviceChoice choice = ChooseDevice(options_, bus);
        if (!choice.several) return std::nullopt;
        io_.err << "tolvane: " << kSeveralDevicesText << '\n';
        for (const DeviceCandidate& candidate : choice.candidates) {
            io_.err << FormatCandidate(candidate) << '\n';
        }
        report_.result = "SEVERAL_DEVICES";
        report_.code = kErrorInvalidParameter;
        report_.message = kSeveralDevicesText;
        report_.extra["candidates"] = CandidatesJson(choice.candidates);
        return finish(kExitSeveralDevices);
    }

    int updateAll(HidBus& bus, SystemServices& services) {
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
        return finish(exitCode);
    }

    int station(HidBus& bus, SystemServices& services) {
        std::ofstream logFile;
        if (!options_.logPath.empty()) {
            logFile.open(options_.logPath, std::ios::out | std::ios::app);
            if (!logFile) {
                return refuse(kExitSystemError, "SYSTEM_ERROR", kErrorAccessDenied,
                              options_.logPath + ": cannot open the log for appending");
            }
        }
        StationOutput output;
        if (!options_.quiet) output.lines = &human_;
        if (options_.json) output.jsonLines = &io_.out;
        if (logFile.is_open()) output.log = &logFile;
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
        for (const DeviceResult& device : summary.finished) {
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
        say(report_.message);
        return finish(exitCode);
    }

    void say(const std::string& text) {
        if (!options_.quiet) human_ << text << '\n';
    }

public:
    int finish(int exitCode) {
        report_.exitCode = exitCode;
        if (simulation_) {
            report_.extra["simulated_devices"] = SimulatedDevicesJson(
                simulation_->checkAll(image_ ? &image_->bytes : nullptr, job_.address));
        }
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

    RunReport& report() {
        return report_;
    }

private:
    const Options& options_;
    const ToolIo& io_;
    const ToolPlatform& platform_;
    InterruptGuard& guard_;
    std::ostream& human_;
    bool humanIsTerminal_;
    RunReport report_;
    std::optional<FirmwareImage> image_;
    DownloadJob job_;
    std::once_flag abandoned_;
    // Last: the devices' clock goes before anything that might still refer to it.
    std::optional<Simulation> simulation_;
};

// Calls the guard for every interrupt while it lives.
class InterruptHookup {
public:
    InterruptHookup(InterruptSource* source, InterruptGuard& guard) : source_(source) {
        if (source_) source_->setHandler([&guard] { guard.interrupt(); });
    }
    ~InterruptHookup() {
        if (source_) source_->setHandler(nullptr);
    }
    InterruptHookup(const InterruptHookup&) = delete;
    InterruptHookup& operator=(const InterruptHookup&) = delete;

private:
    InterruptSource* source_;
};

}  // namespace

int RunTool(const std::vector<std::string>& args, const ToolIo& io, const ToolPlatform& platform) {
    InterruptGuard guard;
    const InterruptHookup hookup(platform.interrupts, guard);
    ParsedCommandLine parsed = ParseCommandLine(args);
    if (parsed.options) {
        Run run(*parsed.options, io, platform, guard);
        return run.execute();
    }
    // Help, version and usage errors: with --json the text goes to standard error and the one
    // JSON object to standard output.
    Options options;
    options.json = parsed.json;
    Run run(options, io, platform, guard);
    RunReport& report = run.report();
    report.command = parsed.command;
    if (parsed.exitCode != kExitSuccess) {
        io.err << parsed.err;
        return run.usageError(parsed.message, true);
    }
    (parsed.json ? io.err : io.out) << parsed.out;
    report.result = parsed.version ? "VERSION" : "HELP";
    if (parsed.version) report.extra["version"] = TOLVANE_VERSION;
    return run.finish(kExitSuccess);
}

}  // namespace tolvane::cli
